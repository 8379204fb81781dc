#include "app/about_dlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zentra {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kAboutCaption));
    setObjectName(QStringLiteral("aboutDialog"));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/zentra.svg")).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    auto* version = new QLabel(QString::fromLatin1(kVersionText), this);
    version->setObjectName(QStringLiteral("versionText"));

    auto* caption = new QLabel(QString::fromLatin1(kWorkingDirectoryLabel), this);
    directory_ = new QLabel(this);
    directory_->setObjectName(QStringLiteral("workingDirectory")); // control 1001
    directory_->setTextFormat(Qt::PlainText);
    directory_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    directory_->setMinimumWidth(320);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* top = new QGridLayout;
    top->addWidget(icon, 0, 0, 2, 1);
    top->addWidget(version, 0, 1);
    top->setColumnStretch(1, 1);
    top->setHorizontalSpacing(12);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(10);
    layout->addWidget(caption);
    layout->addWidget(directory_);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAboutDlg::SetWorkingDirectory(const QString& folder) {
    directory_->setText(folder);
}

QString CAboutDlg::WorkingDirectory() const {
    return directory_->text();
}

QString CAboutDlg::CurrentWorkingDirectory() {
    return QDir::toNativeSeparators(QDir::currentPath());
}

} // namespace zentra

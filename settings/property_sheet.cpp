#include "settings/property_sheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zentra {

PropertySheet::PropertySheet(const QString& caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("sheetTabs"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    ok_->setObjectName(QStringLiteral("IDOK"));
    cancel_->setObjectName(QStringLiteral("IDCANCEL"));
    connect(buttons, &QDialogButtonBox::accepted, this, &PropertySheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PropertySheet::reject);
    connect(tabs_, &QTabWidget::currentChanged, this, &PropertySheet::OnTabChanged);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

int PropertySheet::AddPage(QWidget* page, const QString& title) {
    const int index = tabs_->addTab(page, title);
    if (current_ < 0)
        current_ = tabs_->currentIndex();
    return index;
}

int PropertySheet::PageCount() const {
    return tabs_->count();
}

QWidget* PropertySheet::Page(int index) const {
    return tabs_->widget(index);
}

void PropertySheet::SetActivePage(int index) {
    if (index < 0 || index >= tabs_->count())
        return;
    switching_ = true;
    tabs_->setCurrentIndex(index);
    switching_ = false;
    current_ = index;
}

int PropertySheet::ActivePage() const {
    return tabs_->currentIndex();
}

bool PropertySheet::PageMayBeLeft(int index) {
    auto* page = dynamic_cast<SheetPage*>(tabs_->widget(index));
    return page == nullptr || page->OnKillActive();
}

void PropertySheet::OnTabChanged(int index) {
    if (switching_)
        return;
    const int left = current_;
    if (left >= 0 && left != index && left < tabs_->count() && !PageMayBeLeft(left)) {
        // Back to the page that refused; it has put the focus where it wants it.
        SetActivePage(left);
        return;
    }
    current_ = index;
}

void PropertySheet::accept() {
    const int active = ActivePage();
    if (active >= 0 && !PageMayBeLeft(active))
        return;
    for (int i = 0; i < tabs_->count(); ++i) {
        if (i == active)
            continue;
        if (!PageMayBeLeft(i)) {
            SetActivePage(i);
            return;
        }
    }
    QDialog::accept();
}

} // namespace zentra

#include "app/help_window.h"

#include <QScrollBar>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace zentra {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("Zentra Help"));
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(false);
    browser_->document()->setDocumentMargin(12);
    browser_->setSource(QUrl(QString::fromLatin1(kGuideUrl)));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(640, 560);
}

void HelpWindow::ShowTopic(const QString& anchor) {
    if (anchor.isEmpty())
        browser_->verticalScrollBar()->setValue(0); // the title and the contents
    else
        browser_->scrollToAnchor(anchor);
    show();
    raise();
    activateWindow();
}

} // namespace zentra

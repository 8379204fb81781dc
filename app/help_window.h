// The help window: the user guide in a browser that follows its own links. One
// window for the program; asking again brings it to the front.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace zentra {

inline constexpr const char* kGuideUrl = "qrc:/help/guide.html";

class HelpWindow : public QWidget {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the guide from its start, or at a named section ("ports", "csv", ...).
    void ShowTopic(const QString& anchor = QString());
    QTextBrowser* Browser() const { return browser_; }

  private:
    QTextBrowser* browser_ = nullptr;
};

} // namespace zentra

// A modal sheet of tabbed pages with OK and Cancel (no Apply, no help button). Pages
// are plain widgets; a page that also derives from SheetPage can refuse to be left,
// which keeps the sheet open on it.
#pragma once

#include <QDialog>
#include <QString>

class QPushButton;
class QTabWidget;

namespace zentra {

class SheetPage {
  public:
    virtual ~SheetPage() = default;
    // Called before the page is left (another tab chosen, or OK pressed). Returning
    // false keeps the sheet on this page; the page has already told the user why and
    // put the focus on the field to correct.
    virtual bool OnKillActive() { return true; }
};

class PropertySheet : public QDialog {
    Q_OBJECT
  public:
    explicit PropertySheet(const QString& caption, QWidget* parent = nullptr);

    // Adds a page under the given tab title; the sheet takes ownership. Returns its index.
    int AddPage(QWidget* page, const QString& title);
    int PageCount() const;
    QWidget* Page(int index) const;

    void SetActivePage(int index);
    int ActivePage() const;

    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QTabWidget* Tabs() const { return tabs_; }

    // OK: every page is asked whether it may be left, the active one first; the sheet
    // closes only when all agree.
    void accept() override;

  private:
    void OnTabChanged(int index);
    bool PageMayBeLeft(int index);

    QTabWidget* tabs_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    int current_ = -1;
    bool switching_ = false;
};

} // namespace zentra

// The one view of the main window: the document's twelve graphs as three pages of four
// tiled cells or one graph maximised, each cell a plotted graph or a data table, and
// the project panel under the cells. The whole picture is composed off-screen by
// DrawView once per acquisition tick (and for printing) and the paint event only shows
// it. The view also owns the mouse and keyboard handling, the pop-up menu, the
// per-graph display switches, paging and printing.
#pragma once

#include "acquisition/acquisition_cycle.h"
#include "display/view/context_menu.h"
#include "display/view/meter_silence.h"
#include "display/view/print_image.h"
#include "display/view/view_layout.h"

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class QAction;
class QPainter;
class QPrinter;

namespace zentra {

struct CZentraDoc;

// Picture of the window while a document is new and never saved, and after.
inline constexpr const char* kUntitledTitle = "Untitled";
inline constexpr const char* kNewLogTitle = "NewLog";
inline constexpr QRgb kViewBackground = qRgb(250, 250, 255);

// The outcome of a print run: why nothing was printed, when it was not.
struct PrintResult {
    bool ok = true;
    std::string error;
    explicit operator bool() const { return ok; }
};

class CZentraView : public QWidget {
    Q_OBJECT

  public:
    explicit CZentraView(CZentraDoc* doc, QWidget* parent = nullptr);
    ~CZentraView() override;

    // Attaches a (new or opened) document, then OnUpdate.
    void SetDocument(CZentraDoc* doc);
    CZentraDoc* GetDocument() const { return m_Doc; }
    // Arms timer 1 at 1000 ms (replacing a running one) and invalidates the window.
    void OnUpdate();

    // Runs a command: the display switches, printing and the data retrieval and
    // logging commands here; anything else is passed on through commandRequested.
    void OnCommand(int id);

    // Composes the whole picture into the back buffer and schedules showing it.
    void DrawView();
    // The last composed picture (the size of the client area when it was drawn).
    const QImage& Picture() const { return m_Picture; }

    // Display state.
    int MaximisedGraph() const { return m_MaximisedGraph; }
    int CurrentPage() const { return m_CurrentPage; }
    int ClickedQuadrant() const { return m_ClickedQuadrant; }
    QPoint LastClickPoint() const { return m_LastClick; }
    // The graph a per-graph command acts on: the maximised one, else the clicked cell.
    int SelectedGraph() const;
    int FontWeight() const { return m_FontWeight; }
    const ViewLayout& Layout() const { return m_Layout; }
    const Rect& ClientRect() const { return m_ClientRect; }
    int PanelHeight() const { return m_PanelHeight; }
    const Rect& PreviousPageArrow() const { return m_PreviousArrow; }
    const Rect& NextPageArrow() const { return m_NextArrow; }

    // Connection text for the status bar's port pane, with since when the meter has
    // not answered the running cycle, if it has stopped.
    std::string StatusText() const;
    // The pop-up menu's lines for the current state.
    std::vector<MenuEntry> ContextMenuEntries() const;

    // Printing without a dialog (also what the dialogs end in): capture the window
    // picture, draw it scaled onto one page of the printer, release it. Fails, with
    // the reason, when the printer or the output file cannot be opened.
    PrintResult PrintTo(QPrinter& printer);
    // The pieces of a print run, in their order.
    void OnPreparePrinting(bool preview);
    PrintResult PrintPage(QPrinter& printer);
    void OnEndPrinting();
    const PrintImage& CurrentPrintImage() const { return m_PrintImage; }
    // The printer that Print Setup sets up and that every print and preview uses, so
    // that the chosen printer, paper and orientation are kept for the next run.
    QPrinter& Printer();

    // Acquisition state owned by the view (timer id and request queue).
    AcquisitionState& Acquisition() { return m_Acquisition; }
    // The timer handler: one acquisition tick, which ends by redrawing.
    void OnTimer(int eventId);
    bool TimerActive() const { return m_Timer.isActive(); }
    int TimerInterval() const { return m_Timer.interval(); }

    // Seams for tests: the screen the view measures, and how the pop-up menu is run
    // (by default QMenu::exec at the given global position).
    void SetScreenMetricsSource(std::function<ScreenMetrics()> source);
    using MenuRunner = std::function<QAction*(QMenu& menu, QPoint globalPos)>;
    void SetMenuRunner(MenuRunner runner);

  signals:
    // A command the view does not handle itself (settings sheets, CSV export, set as
    // default), from the pop-up menu or OnCommand.
    void commandRequested(int id);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class ViewTimer;

    struct PrintTarget {
        QPrinter* printer = nullptr;
    };
    void Compose(const PrintTarget* target);
    void DrawCell(QPainter& painter, int g);
    void DrawDividers(QPainter& painter);
    void DrawPageArrows(QPainter& painter);
    void ResetForNewDocument();
    void StoreClick(QPoint p);
    void Invalidate();
    void OnLeftButtonUp(QPoint p);
    void OnLeftDoubleClick(QPoint p);
    void OnRightButtonUp(QPoint p);
    void ToggleMaximise();
    void OnFilePrint();
    void OnFilePrintDirect();
    void OnFilePrintPreview();
    void OnFilePrintSetup();
    void ReportPrintFailure(const PrintResult& result) const;
    void NoteAnswer(const TickOutcome& tick);
    const std::string& PortDeviceText() const;

    CZentraDoc* m_Doc = nullptr;
    int m_CurrentPage = 0;
    int m_MaximisedGraph = kNotMaximised;
    int m_ClickedQuadrant = 0;
    QPoint m_LastClick{0, 0};
    Rect m_ClientRect{};
    int m_ArrowsBottom = 0; // drawing-area bottom the history arrows were last drawn for
    ViewLayout m_Layout{};
    int m_PanelHeight = 0;
    Rect m_PreviousArrow{};
    Rect m_NextArrow{};
    int m_FontWeight = kNormalWeight;
    QImage m_Picture;
    PrintImage m_PrintImage;
    std::unique_ptr<QPrinter> m_Printer; // made on first use
    AcquisitionState m_Acquisition{};
    QTimer m_Timer;
    std::unique_ptr<ViewTimer> m_TimerAdapter;
    std::function<ScreenMetrics()> m_Screen;
    MenuRunner m_MenuRunner;
    MeterSilence m_Silence;
    PortHandle m_SilencePort = kInvalidPort; // the port whose answers m_Silence counts
    // What the document's port name stands for, looked up once per port taken up (the
    // look-up lists the serial devices, too slow for every refresh of the pane).
    struct PortDeviceCache {
        PortHandle handle = kInvalidPort;
        std::string port;
        std::string device;
        bool known = false;
    };
    mutable PortDeviceCache m_PortDevice;
};

} // namespace zentra

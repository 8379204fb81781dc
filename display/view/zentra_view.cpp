#include "display/view/zentra_view.h"

#include "acquisition/logging_commands.h"
#include "display/graph/graph_renderer.h"
#include "display/view/data_table.h"
#include "display/view/project_panel.h"
#include "display/view/view_commands.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"

#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <QPrinter> // the kept printer goes with the view
#include <cstring>

namespace zentra {

// Timer 1 of the acquisition cycle, on a QTimer of the view.
class CZentraView::ViewTimer : public AcquisitionTimer {
  public:
    explicit ViewTimer(QTimer& timer) : timer_(timer) {}
    int Arm(int id, std::chrono::milliseconds period) override {
        timer_.start(static_cast<int>(period.count()));
        return id;
    }
    void Kill(int /*id*/) override { timer_.stop(); }

  private:
    QTimer& timer_;
};

CZentraView::CZentraView(CZentraDoc* doc, QWidget* parent)
    : QWidget(parent), m_Doc(doc), m_TimerAdapter(std::make_unique<ViewTimer>(m_Timer)),
      m_Screen(PrimaryScreenMetrics) {
    // Every right-button event comes to the mouse handlers: the pop-up menu opens on
    // button up, never a second time from a context-menu event.
    setContextMenuPolicy(Qt::PreventContextMenu);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&m_Timer, &QTimer::timeout, this, [this] { OnTimer(kAcquisitionTimerId); });
    ComputeLayout(m_Layout, Rect{}, kNotMaximised, m_Screen());
}

CZentraView::~CZentraView() {
    m_PrintImage.Release();
}

void CZentraView::SetDocument(CZentraDoc* doc) {
    m_Doc = doc;
    m_Silence.Reset();
    m_SilencePort = kInvalidPort;
    OnUpdate();
}

void CZentraView::OnUpdate() {
    m_Acquisition.timerId = m_TimerAdapter->Arm(kAcquisitionTimerId, kTickPeriod);
    Invalidate();
}

void CZentraView::SetScreenMetricsSource(std::function<ScreenMetrics()> source) {
    m_Screen = source ? std::move(source) : PrimaryScreenMetrics;
}

void CZentraView::SetMenuRunner(MenuRunner runner) {
    m_MenuRunner = std::move(runner);
}

int CZentraView::SelectedGraph() const {
    if (m_MaximisedGraph != kNotMaximised)
        return m_MaximisedGraph;
    return 4 * m_CurrentPage + m_ClickedQuadrant;
}

std::string CZentraView::StatusText() const {
    if (!m_Doc)
        return "No Port Open";
    PortStatus status;
    if (m_Doc->m_Comms.portSetUp != 0)
        status.device = PortDeviceText();
    if (m_Doc->m_RetrievalActive)
        status.silentSince = m_Silence.SilentSince();
    return zentra::StatusText(*m_Doc, status);
}

const std::string& CZentraView::PortDeviceText() const {
    const std::string port(m_Doc->m_Comms.port.data(),
                           strnlen(m_Doc->m_Comms.port.data(), m_Doc->m_Comms.port.size()));
    PortDeviceCache& cache = m_PortDevice;
    if (!cache.known || cache.handle != m_Doc->m_PortHandle || cache.port != port) {
        cache.handle = m_Doc->m_PortHandle;
        cache.port = port;
        cache.device = PortDevice(port).value_or(std::string());
        cache.known = true;
    }
    return cache.device;
}

void CZentraView::NoteAnswer(const TickOutcome& tick) {
    // Counted per port while requests go out: a port taken up again on the
    // Communication sheet (which asks nothing until Restart) starts afresh.
    if (!m_Doc->m_RetrievalActive || m_Doc->m_PortHandle == kInvalidPort ||
        m_Doc->m_PortHandle != m_SilencePort || m_Doc->m_LastRequest == 0) {
        m_Silence.Reset();
        m_SilencePort = m_Doc->m_RetrievalActive ? m_Doc->m_PortHandle : kInvalidPort;
    }
    m_Silence.Note(tick, m_Doc->m_LastRequest, platform::Now());
}

std::vector<MenuEntry> CZentraView::ContextMenuEntries() const {
    if (!m_Doc)
        return {};
    return zentra::ContextMenuEntries(*m_Doc, SelectedGraph(), m_MaximisedGraph != kNotMaximised);
}

void CZentraView::Invalidate() {
    // The picture is composed at once rather than at the next tick, so that a switch,
    // a page change or a new document shows without waiting up to a second (and the
    // window never shows an erased, empty frame in between).
    if (m_Doc)
        DrawView();
    update();
}

void CZentraView::OnTimer(int eventId) {
    if (!m_Doc)
        return;
    auto redraw = [this] {
        DrawView();
        if (isVisible())
            repaint();
    };
    NoteAnswer(AcquisitionTick(*m_Doc, m_Acquisition, *m_TimerAdapter, eventId, redraw));
}

void CZentraView::ToggleMaximise() {
    m_MaximisedGraph =
        (m_MaximisedGraph == kNotMaximised) ? 4 * m_CurrentPage + m_ClickedQuadrant : kNotMaximised;
}

void CZentraView::OnCommand(int id) {
    if (!m_Doc)
        return;
    auto toggle = [](std::uint8_t& flag) { flag = flag ? 0 : 1; };
    Graph& selected = m_Doc->m_Graphs[static_cast<std::size_t>(SelectedGraph())];
    switch (id) {
    case view_cmd::kToggleMaximise:
        ToggleMaximise();
        Invalidate();
        return;
    case view_cmd::kToggleRelativeY:
        toggle(selected.m_RelativeY);
        Invalidate();
        return;
    case view_cmd::kToggleRealTime:
        toggle(selected.m_RealTime);
        Invalidate();
        return;
    case view_cmd::kToggleGraphMode:
        toggle(selected.m_GraphMode);
        Invalidate();
        return;
    case view_cmd::kToggleProjectPanel:
        toggle(m_Doc->m_ShowProject);
        Invalidate();
        return;
    case view_cmd::kPrint:
        OnFilePrint();
        return;
    case view_cmd::kPrintDirect:
        OnFilePrintDirect();
        return;
    case view_cmd::kPrintPreview:
        OnFilePrintPreview();
        return;
    case view_cmd::kPrintSetup:
        OnFilePrintSetup();
        return;
    default:
        break;
    }
    if (HandleAcquisitionCommand(id, *m_Doc, m_Acquisition, *m_TimerAdapter))
        return;
    emit commandRequested(id);
}

void CZentraView::ResetForNewDocument() {
    m_CurrentPage = 0;
    m_MaximisedGraph = kNotMaximised;
    m_FontWeight = kNormalWeight;
    ComputeLayout(m_Layout, Rect{}, kNotMaximised, m_Screen());
    m_Doc->m_Title = kNewLogTitle;
}

void CZentraView::DrawView() {
    if (!m_Doc)
        return;
    if (m_Doc->m_Title == kUntitledTitle)
        ResetForNewDocument();
    const ScreenMetrics screen = m_Screen();
    m_FontWeight = FontWeightFor(screen.screenWidth);

    m_ClientRect = {0, 0, width(), height()};
    m_PanelHeight = m_ClientRect.bottom / 10;

    // The back buffer is kept between ticks and only reallocated when the window's
    // size changes; an empty client area (a minimised window) has none.
    const QSize size(width(), height());
    if (size.isEmpty()) {
        m_Picture = QImage();
    } else if (m_Picture.size() != size) {
        m_Picture = QImage(size, QImage::Format_RGB32);
    }
    QPainter painter;
    const bool painting = !m_Picture.isNull() && painter.begin(&m_Picture);
    if (painting) {
        painter.fillRect(0, 0, size.width(), size.height(), QColor(kViewBackground));
        painter.setPen(QPen(Qt::black, 0));
    }

    if (m_MaximisedGraph == kNotMaximised) {
        const bool panel = m_Doc->m_ShowProject != 0;
        if (panel)
            m_ClientRect.bottom -= m_PanelHeight;
        ComputeLayout(m_Layout, m_ClientRect, kNotMaximised, screen);
        if (painting) {
            DrawDividers(painter);
            if (panel)
                DrawProjectPanel(painter, *m_Doc, m_ClientRect, m_Layout.textScale, m_FontWeight);
            for (int k = 0; k < kQuadrants; ++k)
                DrawCell(painter, 4 * m_CurrentPage + k);
            DrawPageArrows(painter);
        }
    } else {
        ComputeLayout(m_Layout, m_ClientRect, m_MaximisedGraph, screen);
        if (painting)
            DrawCell(painter, m_MaximisedGraph);
    }
    if (painting)
        painter.end();
    m_ArrowsBottom = m_ClientRect.bottom;
    update();
}

void CZentraView::DrawCell(QPainter& painter, int g) {
    if (g < 0 || g >= kGraphCount)
        return;
    Graph& graph = m_Doc->m_Graphs[static_cast<std::size_t>(g)];
    if (!graph.m_Enabled)
        return;
    const int k = g % kQuadrants;
    painter.save();
    if (graph.m_GraphMode) {
        GraphGeometry geometry;
        geometry.plotLeft = m_Layout.plotLeft[k];
        geometry.plotBaseline = m_Layout.plotBaseline[k];
        geometry.plotWidth = m_Layout.plotWidth[k];
        geometry.plotHeight = m_Layout.plotHeight[k];
        geometry.textScale = m_Layout.textScale;
        geometry.cellHeight = m_Layout.cellHeight;
        geometry.cell = m_Layout.cell[k].ToQRect();
        geometry.maximisedGraph = m_MaximisedGraph;
        geometry.clientBottom = m_ClientRect.bottom;
        geometry.fontWeight = m_FontWeight;
        DrawGraph(painter, *m_Doc, g, geometry);
    } else {
        TableGeometry geometry;
        geometry.textScale = m_Layout.textScale;
        geometry.maximisedGraph = m_MaximisedGraph;
        geometry.cell = m_Layout.cell[k];
        geometry.client = m_ClientRect;
        geometry.fontWeight = m_FontWeight;
        DrawDataTable(painter, *m_Doc, g, geometry);
    }
    painter.restore();
}

void CZentraView::DrawDividers(QPainter& painter) {
    const int inset = DividerInset();
    const QPen grey(QColor(150, 150, 150), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const QPen white(QColor(255, 255, 255), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    struct Pass {
        const QPen& pen;
        int d;
    };
    const Pass passes[] = {{grey, 1}, {grey, 0}, {white, 0}};
    painter.save();
    for (const Pass& pass : passes) {
        painter.setPen(pass.pen);
        for (const Line& line : DividerLines(m_Layout, inset, pass.d))
            painter.drawLine(line.from, line.to);
    }
    painter.restore();
}

void CZentraView::DrawPageArrows(QPainter& painter) {
    const PageArrows arrows = PageArrowsFor(m_ClientRect);
    m_PreviousArrow = arrows.previous.hit;
    m_NextArrow = arrows.next.hit;
    painter.save();
    const QPen outline(QColor(236, 221, 255), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    for (const PageArrow* arrow : {&arrows.previous, &arrows.next}) {
        const QPolygon triangle{QList<QPoint>(arrow->points.begin(), arrow->points.end())};
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(158, 194, 192));
        painter.drawPolygon(triangle, Qt::WindingFill);
        painter.setPen(outline);
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(QPolygon{
            QList<QPoint>{arrow->points[0], arrow->points[1], arrow->points[2], arrow->points[0]}});
    }
    painter.restore();
}

void CZentraView::paintEvent(QPaintEvent* /*event*/) {
    // Shows the picture of the last DrawView; nothing is recomputed here.
    QPainter painter(this);
    const QRect all = rect();
    if (m_Picture.isNull()) {
        painter.fillRect(all, QColor(kViewBackground));
        return;
    }
    painter.drawImage(0, 0, m_Picture);
    // After a resize, until the next tick, the uncovered part shows the background.
    if (m_Picture.width() < all.width())
        painter.fillRect(m_Picture.width(), 0, all.width() - m_Picture.width(), all.height(),
                         QColor(kViewBackground));
    if (m_Picture.height() < all.height())
        painter.fillRect(0, m_Picture.height(), all.width(), all.height() - m_Picture.height(),
                         QColor(kViewBackground));
}

} // namespace zentra

// Mouse, keyboard and pop-up menu handling of the main view.
#include "display/view/zentra_view.h"

#include "display/graph/graph_model.h"
#include "display/graph/logging_scale_arrows.h"
#include "display/view/data_table.h"
#include "document/zentra_doc.h"
#include "platform/clock.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

namespace zentra {

void CZentraView::StoreClick(QPoint p) {
    m_LastClick = p;
    m_ClickedQuadrant = QuadrantOf(m_Layout, p);
}

void CZentraView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        OnLeftButtonUp(p);
    else if (event->button() == Qt::RightButton)
        OnRightButtonUp(p);
    QWidget::mouseReleaseEvent(event);
}

void CZentraView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OnLeftDoubleClick(event->position().toPoint());
    QWidget::mouseDoubleClickEvent(event);
}

void CZentraView::OnLeftDoubleClick(QPoint p) {
    StoreClick(p);
    ToggleMaximise();
    Invalidate();
}

void CZentraView::OnLeftButtonUp(QPoint p) {
    StoreClick(p);
    if (!m_Doc)
        return;

    if (m_MaximisedGraph == kNotMaximised) {
        if (m_NextArrow.StrictlyContains(p)) {
            if (m_CurrentPage + 1 > kPageCount - 1) {
                m_CurrentPage = kPageCount - 1;
            } else {
                ++m_CurrentPage;
                Invalidate();
            }
        }
        if (m_PreviousArrow.StrictlyContains(p)) {
            if (m_CurrentPage - 1 < 0) {
                m_CurrentPage = 0;
            } else {
                --m_CurrentPage;
                Invalidate();
            }
        }
    }

    // History arrows, tested against the same geometry they were drawn with (the
    // drawing area above the project panel while it shows). While a graph is
    // maximised only its own arrows are live: the other cells are not on screen.
    const platform::TimeSeconds now = platform::Now();
    const int bottom = m_ArrowsBottom > 0 ? m_ArrowsBottom : height();
    for (int k = 0; k < kQuadrants; ++k) {
        const int g = 4 * m_CurrentPage + k;
        if (m_MaximisedGraph != kNotMaximised && g != m_MaximisedGraph)
            continue;
        const LoggingScaleArrowCoords arrows(m_Layout.plotLeft[k], m_Layout.plotWidth[k],
                                             m_Layout.plotBaseline[k], bottom);
        const ArrowHit hit = arrows.HitTest(p);
        Graph& graph = m_Doc->m_Graphs[static_cast<std::size_t>(g)];
        if (graph.m_LeftArrowActive == 1 && hit == ArrowHit::Back)
            ScrollBack(graph, now);
        if (graph.m_RightArrowActive == 1 && hit == ArrowHit::Forward)
            ScrollForward(graph);
    }
    // Nothing is invalidated: the next tick shows the moved window.
}

void CZentraView::keyPressEvent(QKeyEvent* event) {
    if (m_Doc) {
        std::int32_t& top = m_Doc->m_DataViewTop;
        switch (event->key()) {
        case Qt::Key_PageUp:
        case Qt::Key_Up:
            top = top > 0 ? top - 1 : 0;
            break;
        case Qt::Key_PageDown:
        case Qt::Key_Down:
            top = NextTablePage(top, m_Doc->m_SampleCount);
            break;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

void CZentraView::OnRightButtonUp(QPoint p) {
    StoreClick(p);
    if (!m_Doc)
        return;
    QMenu menu(this);
    for (const MenuEntry& entry : ContextMenuEntries()) {
        if (entry.IsSeparator()) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QString::fromStdString(entry.text));
        action->setData(entry.id);
    }
    const QPoint global = mapToGlobal(p);
    QAction* chosen = m_MenuRunner ? m_MenuRunner(menu, global) : menu.exec(global);
    if (chosen)
        OnCommand(chosen->data().toInt());
}

} // namespace zentra

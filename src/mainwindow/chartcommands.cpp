#include "mainwindow/chartcommands.h"

#include "app/tracer.h"
#include "mainwindow/interfaceicon.h"
#include "mainwindow/tracerwindow.h"
#include "mainwindow/viewmanager.h"

#include <QMdiArea>
#include <QMdiSubWindow>

using namespace ActionTable;

namespace {

constexpr int VIEW_GROUP = TracerWindow::VIEW_GROUP;

} // namespace

const Row<ChartCommands> ChartCommands::actionTable[] = {
    {{"action_EventChart_Synchro", "Scroll Synchronization", "synchro_24.png", "F8", VIEW_GROUP, Checked},
     nullptr,
     &ChartCommands::setSynchronized,
     &ChartCommands::m_synchro},
    {{"action_EventChart_ToggleMode", "Linear Mode", "mode_lin.png", "F9", VIEW_GROUP, 0, "chartModeMenu"},
     &ChartCommands::toggleMode,
     nullptr,
     &ChartCommands::m_toggleMode},
    {{"action_EventChart_LinMode", "Linear Mode", "mode_lin.png", nullptr, InSubmenu},
     &ChartCommands::setLinearMode},
    {{"action_EventChart_LogMode", "Logarithmic Mode", "mode_log.png", nullptr, InSubmenu},
     &ChartCommands::setLogMode,
     nullptr,
     &ChartCommands::m_logMode},
    {{"action_EventChart_ToggleHeader", "External Header", "external_header.png", "F10", VIEW_GROUP, 0,
      "headerMenu"},
     &ChartCommands::toggleHeader,
     nullptr,
     &ChartCommands::m_toggleHeader},
    {{"action_EventChart_InternalHeader", "Internal Header", "internal_header.png", nullptr, InSubmenu},
     &ChartCommands::setInternalHeader},
    {{"action_EventChart_ExternalHeader", "External Header", "external_header.png", nullptr, InSubmenu},
     &ChartCommands::setExternalHeader},
    {separator(VIEW_GROUP)},
    {{"action_EventChart_ZoomIn", "Zoom In", "zoom_in_24.png", "+", VIEW_GROUP},
     &ChartCommands::zoomIn,
     nullptr,
     &ChartCommands::m_zoomIn},
    {{"action_EventChart_ZoomOut", "Zoom Out", "zoom_out_24.png", "-", VIEW_GROUP},
     &ChartCommands::zoomOut,
     nullptr,
     &ChartCommands::m_zoomOut},
};

ChartCommands::ChartCommands(QWidget *window, QMdiArea *area, SmartMenu *smartMenu)
    : m_area(area)
{
    createActions(actionTable, this, window, smartMenu);
}

void ChartCommands::watch(NodeViewWindow *view)
{
    connect(view, &NodeViewWindow::viewedNodesWasRecounted, this,
            &ChartCommands::on_view_viewedNodesWasRecounted);
    connect(view, &NodeViewWindow::viewStateChanged, this, &ChartCommands::on_viewStateChanged);
}

void ChartCommands::viewActivated(NodeViewWindow *view)
{
    updateChartModeActions(view);
    m_zoomOut->setEnabled(view->chart()->canZoomOut());
    m_synchro->setChecked(view->isSynchronized());
}

void ChartCommands::on_view_viewedNodesWasRecounted(NodeViewWindow *view)
{
    if (view)
        updateChartModeActions(view);
}

void ChartCommands::on_viewStateChanged(NodeViewWindow::ViewStateItem vsi)
{
    // Stepping back through a view's history may bring its former mode back.
    if (vsi == NodeViewWindow::MODE_CHANGED)
        updateChartModeActions(currentNodeView());
    if (vsi != NodeViewWindow::LAYOUT_CHANGED)
        return;
    if (NodeViewWindow *view = currentNodeView())
        m_zoomOut->setEnabled(view->chart()->canZoomOut());
}

NodeViewWindow *ChartCommands::currentNodeView() const
{
    return ViewManager::nodeView(m_area->currentSubWindow());
}

void ChartCommands::setSynchronized(bool synchronized)
{
    if (NodeViewWindow *view = currentNodeView())
        view->setSynchronized(synchronized);
}

void ChartCommands::updateChartModeActions(NodeViewWindow *view)
{
    if (!view || view != currentNodeView())
        return;
    // Clocks of several nodes share one axis only in linear time.
    if (view->viewedNodeCount() > 1) {
        setLinearMode();
        m_logMode->setEnabled(false);
        return;
    }
    m_logMode->setEnabled(true);
    if (view->isLinearMode())
        setLinearMode();
    else
        setLogMode();
}

void ChartCommands::setModeToggleLook(bool linear)
{
    m_toggleMode->setIcon(interfaceIcon(linear ? "mode_lin.png" : "mode_log.png"));
    m_toggleMode->setText(linear ? QStringLiteral("Linear Mode (F9)")
                                 : QStringLiteral("Logarythmic Mode (F9)"));
}

void ChartCommands::setLinearMode()
{
    NodeViewWindow *view = currentNodeView();
    if (!view)
        return;
    view->setLinearMode(true);
    setModeToggleLook(true);
}

void ChartCommands::setLogMode()
{
    NodeViewWindow *view = currentNodeView();
    // The action is disabled for a view of several nodes; a call from
    // elsewhere must not give their shared axis a log scale either.
    if (!view || view->viewedNodeCount() > 1)
        return;
    view->setLinearMode(false);
    setModeToggleLook(false);
}

void ChartCommands::toggleMode()
{
    NodeViewWindow *view = currentNodeView();
    if (!view)
        return;
    if (view->viewedNodeCount() < 2 && view->isLinearMode())
        setLogMode();
    else
        setLinearMode();
}

void ChartCommands::setHeaderToggleLook(bool external)
{
    const QString text = external ? QStringLiteral("External Header") : QStringLiteral("Internal Header");
    m_toggleHeader->setIcon(interfaceIcon(external ? "external_header.png" : "internal_header.png"));
    m_toggleHeader->setText(text);
    m_toggleHeader->setToolTip(text + QStringLiteral(" (F10)"));
}

void ChartCommands::placeHeader(bool external)
{
    if (!theTracer)
        return;
    theTracer->setExternalHeader(external);
    const QList<QMdiSubWindow *> windows = m_area->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    for (QMdiSubWindow *window : windows) {
        if (NodeViewWindow *view = ViewManager::nodeView(window))
            view->relayout();
    }
    setHeaderToggleLook(external);
}

void ChartCommands::setInternalHeader()
{
    placeHeader(false);
}

void ChartCommands::setExternalHeader()
{
    placeHeader(true);
}

void ChartCommands::toggleHeader()
{
    if (theTracer)
        placeHeader(!theTracer->externalHeader());
}

void ChartCommands::zoomIn()
{
    NodeViewWindow *view = currentNodeView();
    if (!view)
        return;
    if (!view->zoomIn())
        m_zoomIn->setEnabled(false);
    else if (!m_zoomOut->isEnabled())
        m_zoomOut->setEnabled(true);
}

void ChartCommands::zoomOut()
{
    NodeViewWindow *view = currentNodeView();
    if (!view)
        return;
    if (!view->zoomOut())
        m_zoomOut->setEnabled(false);
    else if (!m_zoomIn->isEnabled())
        m_zoomIn->setEnabled(true);
}

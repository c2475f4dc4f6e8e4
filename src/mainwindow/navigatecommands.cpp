#include "mainwindow/navigatecommands.h"

#include "mainwindow/tracerwindow.h"
#include "mainwindow/viewmanager.h"
#include "views/eventchart.h"
#include "views/nodeviewwindow.h"

#include <QMdiArea>

using namespace ActionTable;

namespace {

constexpr int NAVIGATE_GROUP = TracerWindow::NAVIGATE_GROUP;

} // namespace

const Row<NavigateCommands> NavigateCommands::actionTable[] = {
    {{"action_Navigate_FitTime", "Fit Time", "fit_time.png", "Ctrl+0", NAVIGATE_GROUP},
     &NavigateCommands::fitTime},
    {{"action_Navigate_ZoomSelection", "Zoom to Selection", "zoom_selection.png", "Z", NAVIGATE_GROUP},
     &NavigateCommands::zoomToSelection},
    {separator(NAVIGATE_GROUP)},
    {{"action_Navigate_Back", "Back", "history_back.png", "Alt+Left", NAVIGATE_GROUP},
     &NavigateCommands::goBack,
     nullptr,
     &NavigateCommands::m_back},
    {{"action_Navigate_Forward", "Forward", "history_forward.png", "Alt+Right", NAVIGATE_GROUP},
     &NavigateCommands::goForward,
     nullptr,
     &NavigateCommands::m_forward},
};

NavigateCommands::NavigateCommands(QWidget *window, QMdiArea *area, SmartMenu *smartMenu)
    : m_area(area)
{
    createActions(actionTable, this, window, smartMenu);
    updateHistoryActions();
}

void NavigateCommands::watch(NodeViewWindow *view)
{
    connect(view->chart(), &EventChart::historyChanged, this, &NavigateCommands::updateHistoryActions);
}

void NavigateCommands::viewActivated(NodeViewWindow * /*view*/)
{
    updateHistoryActions();
}

NodeViewWindow *NavigateCommands::currentNodeView() const
{
    return ViewManager::nodeView(m_area->currentSubWindow());
}

void NavigateCommands::updateHistoryActions()
{
    const NodeViewWindow *view = currentNodeView();
    m_back->setEnabled(view && view->chart()->canGoBack());
    m_forward->setEnabled(view && view->chart()->canGoForward());
}

void NavigateCommands::fitTime()
{
    if (NodeViewWindow *view = currentNodeView())
        view->chart()->fitTime();
}

void NavigateCommands::zoomToSelection()
{
    if (NodeViewWindow *view = currentNodeView())
        view->chart()->zoomToSelection();
}

void NavigateCommands::goBack()
{
    if (NodeViewWindow *view = currentNodeView())
        view->chart()->goBack();
}

void NavigateCommands::goForward()
{
    if (NodeViewWindow *view = currentNodeView())
        view->chart()->goForward();
}

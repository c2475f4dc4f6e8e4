#include "mainwindow/navigatecommands.h"

#include "app/tracer.h"
#include "chart/chartsettings.h"
#include "chart/settingsstore.h"
#include "mainwindow/tracerwindow.h"
#include "mainwindow/viewmanager.h"
#include "views/chartexport.h"
#include "views/chartmarks.h"
#include "views/eventchart.h"
#include "views/nodeviewwindow.h"

#include <QMdiArea>

using namespace ActionTable;

namespace {

constexpr int NAVIGATE_GROUP = TracerWindow::NAVIGATE_GROUP;
constexpr const char *overviewId = "show_overview";

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
    {separator(NAVIGATE_GROUP)},
    {{"action_Navigate_CursorA", "Set Cursor A", "cursor_a.png", nullptr, NAVIGATE_GROUP},
     &NavigateCommands::setCursorA},
    {{"action_Navigate_CursorB", "Set Cursor B", "cursor_b.png", nullptr, NAVIGATE_GROUP},
     &NavigateCommands::setCursorB},
    {separator(NAVIGATE_GROUP)},
    {{"action_Navigate_AddBookmark", "Add Bookmark", "bookmark_add.png", "Ctrl+B", NAVIGATE_GROUP},
     &NavigateCommands::addBookmark},
    {{"action_Navigate_PreviousBookmark", "Previous Bookmark", "bookmark_previous.png", "Shift+F2",
      NAVIGATE_GROUP},
     &NavigateCommands::previousBookmark},
    {{"action_Navigate_NextBookmark", "Next Bookmark", "bookmark_next.png", "F2", NAVIGATE_GROUP},
     &NavigateCommands::nextBookmark},
    {{"action_Navigate_Bookmarks", "Bookmarks", "bookmarks.png", nullptr, NAVIGATE_GROUP, Checkable}},
    {separator(NAVIGATE_GROUP)},
    {{"action_Navigate_Overview", "Overview", "overview.png", nullptr, NAVIGATE_GROUP, Checkable},
     nullptr,
     nullptr,
     &NavigateCommands::m_overview},
    {separator(NAVIGATE_GROUP)},
    {{"action_Navigate_Statistics", "Statistics...", "statistics.png", "Ctrl+T", NAVIGATE_GROUP},
     &NavigateCommands::showStatistics},
    {{"action_Navigate_ExportImage", "Export Chart Image...", "export_image.png", nullptr, NAVIGATE_GROUP},
     &NavigateCommands::exportImage},
};

NavigateCommands::NavigateCommands(QWidget *window, QMdiArea *area, SmartMenu *smartMenu)
    : m_area(area)
{
    createActions(actionTable, this, window, smartMenu);
    updateHistoryActions();
    // Checked before it is connected: reading the setting must not write it.
    m_overview->setChecked(ChartSettings::read().showOverview);
    connect(m_overview, &QAction::toggled, this, &NavigateCommands::showOverview);
    if (theTracer)
        connect(theTracer, &Tracer::settingsUpdatingNotify, this, [this](const QString &id) {
            if (id == QLatin1String(overviewId))
                m_overview->setChecked(ChartSettings::read().showOverview);
        });
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

void NavigateCommands::setCursorA()
{
    if (NodeViewWindow *view = currentNodeView())
        view->chart()->marks()->placeCursor(ChartMarks::CURSOR_A);
}

void NavigateCommands::setCursorB()
{
    if (NodeViewWindow *view = currentNodeView())
        view->chart()->marks()->placeCursor(ChartMarks::CURSOR_B);
}

void NavigateCommands::addBookmark()
{
    if (NodeViewWindow *view = currentNodeView())
        view->chart()->marks()->addBookmark();
}

void NavigateCommands::nextBookmark()
{
    if (NodeViewWindow *view = currentNodeView())
        view->chart()->marks()->nextBookmark();
}

void NavigateCommands::previousBookmark()
{
    if (NodeViewWindow *view = currentNodeView())
        view->chart()->marks()->previousBookmark();
}

// Written and announced like a change in the settings dialog, so that every
// chart and the dialog agree.
void NavigateCommands::showOverview(bool shown)
{
    openSettingsStore().setValue(ChartSettings::keyFor(QLatin1String(overviewId)),
                                 QLatin1String(shown ? "show" : "hide"));
    if (theTracer)
        theTracer->updateSettings({QLatin1String(overviewId)});
}

void NavigateCommands::exportImage()
{
    if (NodeViewWindow *view = currentNodeView())
        ChartExport::exportWithDialog(*view->chart(), view);
}

void NavigateCommands::showStatistics()
{
    if (NodeViewWindow *view = currentNodeView())
        view->showStatistics();
}

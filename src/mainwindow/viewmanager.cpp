#include "mainwindow/viewmanager.h"

#include "app/tracer.h"
#include "mainwindow/chartcommands.h"
#include "mainwindow/navigatecommands.h"
#include "mainwindow/smartmenu.h"
#include "mainwindow/tracerwindow.h"
#include "trace/node.h"
#include "trace/project.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>

#include <algorithm>

using namespace ActionTable;

namespace {

constexpr int VIEWS_GROUP = TracerWindow::VIEWS_GROUP;

// The node views of the project in `path`, oldest first.
QList<NodeViewWindow *> projectViews(const QMdiArea *area, const QString &path)
{
    QList<NodeViewWindow *> views;
    const QList<QMdiSubWindow *> windows = area->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow *window : windows) {
        NodeViewWindow *view = ViewManager::nodeView(window);
        if (view && view->projectPath() == path)
            views.append(view);
    }
    return views;
}

} // namespace

NodeViewWindow *ViewManager::nodeView(QMdiSubWindow *window)
{
    auto *view = qobject_cast<NodeViewWindow *>(window);
    return view && view->windowKind() == ViewWindow::NODE_VIEW ? view : nullptr;
}

const Row<ViewManager> ViewManager::actionTable[] = {
    {{"action_ViewList", "View List", "views_24.png", nullptr, VIEWS_GROUP, Popup, "viewListMenu"},
     nullptr,
     nullptr,
     &ViewManager::m_viewList},
    {separator(VIEWS_GROUP)},
    {{"action_TileViews", "Tile Views", "views_tiled_24.png", nullptr, VIEWS_GROUP}, &ViewManager::tile},
    {{"action_TileViewsVertically", "Tile Views Vertically", "views_tiled_vertically_24.png", nullptr,
      VIEWS_GROUP},
     &ViewManager::tileVertically},
    {{"action_CascadeViews", "Cascade Views", "views_cascaded_24.png", nullptr, VIEWS_GROUP},
     &ViewManager::cascade},
    {{"action_UnwrapViews", "Fit Views", "view_unwrap_24.png", nullptr, VIEWS_GROUP}, &ViewManager::fit},
    {separator(VIEWS_GROUP)},
    {{"action_CloseView", "Close Active View", "view_close_24.png", nullptr, VIEWS_GROUP},
     &ViewManager::closeActiveView},
    {{"action_CloseAllViews", "Close All Views", "views_close_24.png", nullptr, VIEWS_GROUP},
     &ViewManager::closeAllViews},
};

ViewManager::ViewManager(QWidget *window, QMdiArea *area, SmartMenu *smartMenu)
    : m_window(window)
    , m_area(area)
    , m_smartMenu(smartMenu)
    , m_chart(std::make_unique<ChartCommands>(window, area, smartMenu))
    , m_navigate(std::make_unique<NavigateCommands>(window, area, smartMenu))
{
    createActions(actionTable, this, window, smartMenu);
    setGroupsEnabled(false);
    connect(m_area, &QMdiArea::subWindowActivated, this, &ViewManager::on_subWindowActivated);
}

ViewManager::~ViewManager() = default;

void ViewManager::setGroupsEnabled(bool enabled)
{
    m_smartMenu->setGroupEnabled(VIEWS_GROUP, enabled);
    m_smartMenu->setGroupEnabled(TracerWindow::VIEW_GROUP, enabled);
    m_smartMenu->setGroupEnabled(TracerWindow::NAVIGATE_GROUP, enabled);
}

void ViewManager::disableGroupsWhenEmpty()
{
    if (m_area->subWindowList().isEmpty())
        setGroupsEnabled(false);
}

bool ViewManager::hasViewsBesides(const QMdiSubWindow *leaving) const
{
    const QList<QMdiSubWindow *> windows = m_area->subWindowList();
    return std::any_of(windows.cbegin(), windows.cend(),
                       [leaving](const QMdiSubWindow *w) { return w != leaving; });
}

// ---------------------------------------------------------------- showing nodes

void ViewManager::viewNode(Node *node, bool apart)
{
    if (!node)
        return;
    if (apart)
        openView(node, numberApart(node));
    else if (!showInFirstView(node))
        openView(node, 0);
}

bool ViewManager::showInFirstView(Node *node)
{
    const QList<NodeViewWindow *> views = projectViews(m_area, node->directory());
    if (views.isEmpty())
        return false;
    NodeViewWindow *view = views.first();
    const QString problem = view->showNode(node);
    if (!problem.isEmpty()) {
        theTracer->showMessage(QMessageBox::Warning, problem);
        return true;
    }
    setGroupsEnabled(true);
    m_area->setActiveSubWindow(view);
    return true;
}

int ViewManager::numberApart(const Node *node)
{
    const QList<NodeViewWindow *> views = projectViews(m_area, node->directory());
    int number = 1;
    for (NodeViewWindow *view : views) {
        if (view->number() == 0) {
            view->setNumber(number);
            return number + 1;
        }
        ++number;
    }
    // The only view of a project goes without a number.
    return views.isEmpty() ? 0 : number;
}

void ViewManager::openView(Node *node, int number)
{
    auto *view = new NodeViewWindow(node->project(), number, m_window);
    view->setAttribute(Qt::WA_DeleteOnClose);
    m_area->addSubWindow(view, Qt::WindowFlags());
    const QString problem = view->showNode(node);
    if (!problem.isEmpty()) {
        // Not expected: views are picked by the node's own directory.
        m_area->removeSubWindow(view);
        delete view;
        theTracer->showMessage(QMessageBox::Warning, problem);
        return;
    }
    view->show();
    m_viewList->menu()->addAction(view->viewAction());
    setGroupsEnabled(true);
    connect(view, &NodeViewWindow::viewClosing, this, &ViewManager::on_viewClosing);
    connect(view, &NodeViewWindow::viewMustBeClosed, this, &ViewManager::on_viewMustBeClosed);
    m_chart->watch(view);
    m_navigate->watch(view);
}

// ---------------------------------------------------------------- the views' own signals

void ViewManager::on_viewMustBeClosed(NodeViewWindow *view)
{
    if (!view)
        return;
    // Closed as its window's own close box would: the area then hands the
    // maximized state on to the next view and stays tabbed. Taking the view
    // out with removeSubWindow leaves the others in plain sub-window frames.
    // The view goes later, also because this may run inside one of its slots.
    view->close();
}

void ViewManager::on_viewClosing(NodeViewWindow *view)
{
    if (!view)
        return;
    // A view closed by its own button may still be listed while it goes.
    if (!hasViewsBesides(view)) {
        setGroupsEnabled(false);
        return;
    }
    if (view->number() == 0)
        return;
    // The later views of the project move up one number; a last one left goes without.
    QList<NodeViewWindow *> others = projectViews(m_area, view->projectPath());
    others.removeOne(view);
    for (NodeViewWindow *other : std::as_const(others)) {
        if (other->number() > view->number())
            other->setNumber(other->number() - 1);
    }
    if (others.size() == 1)
        others.first()->setNumber(0);
}

void ViewManager::on_subWindowActivated(QMdiSubWindow *window)
{
    NodeViewWindow *view = nodeView(window);
    if (!view)
        return;
    m_chart->viewActivated(view);
    m_navigate->viewActivated(view);
    emit curNode_Changed(view->currentNode(), view);
}

// ---------------------------------------------------------------- arranging and closing

void ViewManager::tile()
{
    m_area->tileSubWindows();
}

void ViewManager::tileVertically()
{
    const QList<QMdiSubWindow *> windows = m_area->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    const int height = m_area->height() / int(windows.size());
    for (int i = 0; i < windows.size(); ++i)
        windows.at(i)->setGeometry(0, i * height, m_area->width(), height);
}

void ViewManager::cascade()
{
    m_area->cascadeSubWindows();
}

void ViewManager::fit()
{
    const QList<QMdiSubWindow *> windows = m_area->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow *window : windows)
        window->setGeometry(0, 0, m_area->width(), m_area->height());
}

void ViewManager::closeActiveView()
{
    if (!m_area->activeSubWindow())
        return;
    m_area->closeActiveSubWindow();
    if (!m_area->activeSubWindow())
        setGroupsEnabled(false);
}

void ViewManager::closeAllViews()
{
    const QMessageBox::StandardButton answer = QMessageBox::question(
        m_window, QStringLiteral("Kestrelview"), QStringLiteral("Close all open views?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer != QMessageBox::Yes)
        return;
    m_area->closeAllSubWindows();
    setGroupsEnabled(false);
}

#include "views/viewwindow.h"

#include <QAction>
#include <QIcon>

ViewWindow::ViewWindow(int windowKind, QWidget *parent)
    : QMdiSubWindow(parent)
    , m_windowKind(windowKind)
    , m_viewAction(new QAction(QIcon(QStringLiteral(":/interface/resources/view_16.png")), QString(), this))
{
    connect(m_viewAction, &QAction::triggered, this, &ViewWindow::on_action_View_triggered);
}

ViewWindow::~ViewWindow() = default;

void ViewWindow::on_action_View_triggered() {}

#include "mainwindow/itemtree.h"

ItemTree::ItemTree(QWidget *parent)
    : QTreeWidget(parent)
{}

void ItemTree::contextMenuEvent(QContextMenuEvent *event)
{
    emit itemTree_contextMenu(event);
}

void ItemTree::mouseDoubleClickEvent(QMouseEvent *event)
{
    emit itemTree_doubleClicked(event);
}

void ItemTree::keyPressEvent(QKeyEvent *event)
{
    emit itemTree_keyPressed(event);
    QTreeView::keyPressEvent(event);
}

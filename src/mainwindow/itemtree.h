#pragma once

#include <QTreeWidget>

// The main window's tree of projects, nodes, task and hub folders, tasks and
// hubs. Hands its context-menu, double-click and key events to the main
// window, which decides by the current item what they do.
class ItemTree : public QTreeWidget
{
    Q_OBJECT
public:
    explicit ItemTree(QWidget *parent = nullptr);

signals:
    void itemTree_contextMenu(QContextMenuEvent *event);
    void itemTree_doubleClicked(QMouseEvent *event);
    void itemTree_keyPressed(QKeyEvent *event);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    // A double click views a node; it must not also expand or collapse the entry.
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    // The window sees Enter first; the tree's own navigation still runs.
    void keyPressEvent(QKeyEvent *event) override;
};

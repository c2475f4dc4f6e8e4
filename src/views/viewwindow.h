#pragma once

#include <QMdiSubWindow>

class QAction;

// Base of the main window's view windows: a kind number and the action that
// lists the window in the main window's view menu.
class ViewWindow : public QMdiSubWindow
{
    Q_OBJECT
public:
    enum WindowKind { NODE_VIEW = 0 };

    ViewWindow(int windowKind, QWidget *parent = nullptr);
    ~ViewWindow() override;

    int windowKind() const { return m_windowKind; }
    QAction *viewAction() const { return m_viewAction; }

public slots:
    // Brings the window forward when its view action is chosen.
    virtual void on_action_View_triggered();

private:
    const int m_windowKind;
    QAction *const m_viewAction;
};

#include "mainwindow/windowgeometry.h"

#include "chart/settingsstore.h"

#include <QSettings>
#include <QWidget>

namespace {

const QString widthKey = QStringLiteral("application/main_window/width");
const QString heightKey = QStringLiteral("application/main_window/height");
const QString leftKey = QStringLiteral("application/main_window/left");
const QString topKey = QStringLiteral("application/main_window/top");
const QString maximizedKey = QStringLiteral("application/main_window/maximized");

} // namespace

void restoreWindowGeometry(QWidget *window)
{
    const QSettings store = openSettingsStore();
    window->resize(store.value(widthKey, 500).toInt(), store.value(heightKey, 400).toInt());
    window->move(store.value(leftKey, 0).toInt(), store.value(topKey, 0).toInt());
    if (store.value(maximizedKey, false).toBool())
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

void storeWindowGeometry(const QWidget &window)
{
    QSettings store = openSettingsStore();
    const bool maximized = window.windowState().testFlag(Qt::WindowMaximized);
    store.setValue(maximizedKey, maximized);
    if (maximized)
        return;
    store.setValue(heightKey, QString::number(window.height(), 10));
    store.setValue(widthKey, QString::number(window.width(), 10));
    store.setValue(leftKey, QString::number(window.pos().x(), 10));
    store.setValue(topKey, QString::number(window.pos().y(), 10));
}

#pragma once

#include <QHash>
#include <QPixmap>
#include <QString>
#include <QVector>

// One entry of the service catalogue.
struct ServiceInfo
{
    qint32 code = 255;
    QString name;
    QPixmap icon;
    QString iconPath;         // resource path, also used as an image source in tooltips
    bool targetIsTask = true; // false: the event's second argument names a hub
};

// One entry of the system-event catalogue; a code outside it reads as the
// blank entry with known = false.
struct SysEventInfo
{
    qint32 code = 0;
    QPixmap icon;
    QString name;
    QString iconPath;
    bool known = false;
};

// Service codes that the reader, the chart and the tooltips treat apart:
// the two that address a hub instead of a task, and the catch-all entry.
namespace ServiceCode {
constexpr qint32 SendToHub = 7;
constexpr qint32 ReceiveFromHub = 9;
constexpr qint32 Other = 255;
} // namespace ServiceCode

// The kernel's services and system events as the program knows them: names,
// icons and whom a service addresses. Built once from compiled-in tables;
// loading a trace matches the node's declared services against it.
class EventCatalogue
{
public:
    // Fills both tables. The icons are read from the compiled-in resources
    // when a QGuiApplication runs; without one they stay null.
    EventCatalogue();

    // In matching order: a declared service name takes the first entry whose
    // name it contains; the last entry's empty name is contained in every name.
    const QVector<ServiceInfo> &services() const { return m_services; }
    const QHash<int, SysEventInfo> &sysEvents() const { return m_sysEvents; }
    // The entry of an event type code; the blank entry when there is none.
    SysEventInfo sysEvent(int code) const { return m_sysEvents.value(code); }
    bool isCatalogued(int code) const { return m_sysEvents.contains(code); }

private:
    QVector<ServiceInfo> m_services;
    QHash<int, SysEventInfo> m_sysEvents;
};

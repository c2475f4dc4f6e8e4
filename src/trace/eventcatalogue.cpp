#include "trace/eventcatalogue.h"

#include <QGuiApplication>

namespace {

struct ServiceRow
{
    qint32 code;
    const char *name;
    const char *icon;
    bool targetIsTask;
};

constexpr ServiceRow serviceRows[] = {
    {0, "START_TASK", "SRV_START_TASK", true},
    {1, "SUSPEND_TASK", "SRV_SUSPEND_TASK", true},
    {2, "RESUME_TASK", "SRV_RESUME_TASK", true},
    {3, "STOP_TASK", "SRV_STOP_TASK", true},
    {4, "ANY_PACKET", "SRV_ANY_PACKET", true},
    {5, "SLEEP_TASK", "SRV_SLEEP_TASK", true},
    {6, "AWAKE_TASK", "SRV_AWAKE_TASK", true},
    {ServiceCode::SendToHub, "SEND_TO_HUB", "SRV_SEND_TO_HUB", false},
    {ServiceCode::ReceiveFromHub, "RECEIVE_FROM_HUB", "SRV_RECEIVE_FROM_HUB", false},
    {10, "RETURN", "SRV_RETURN", true},
    {ServiceCode::Other, "", "SRV_OTHER", true},
};

struct SysEventRow
{
    qint32 code;
    const char *name;
    const char *icon;
};

constexpr SysEventRow sysEventRows[] = {
    {0, "L1_TASK_SWITCH", "sys_task_switch"},
    {1, "L1_SERVICE_REQUEST", "sys_service_request"},
    {-1, "L1_SERVICE_COMPLETED", "sys_service_completed"},
    {2, "L1_KERNEL_SERVICING_REQUEST", "sys_kernel_service_request"},
    {-2, "L1_KERNEL_SERVICING_COMPLETED", "sys_kernel_service_completed"},
    {3, "SYNC_MARKER", "sync_marker"},
    {4, "SYNC_PACKET_SENDING", "sync_send_packet"},
    {-4, "SYNC_PACKET_SENDING_NOTIFICATION", "sync_send_packet_notify"},
    {5, "SYNC_PACKET_ROUTING", "sync_pass_packet"},
    {-5, "SYNC_PACKET_ROUTING_NOTIFICATION", "sync_pass_packet_notify"},
    {6, "SYNC_PACKET_RECEIVING", "sync_receive_packet"},
    {-6, "SYNC_PACKET_RECEIVING_NOTIFICATION", "sync_receive_packet_notify"},
    {16, "USER_MARKER", "user_marker"},
    {255, "L1_ISR", "sys_isr"},
};

} // namespace

EventCatalogue::EventCatalogue()
{
    // Pixmaps need a GUI application; the command-line tools run without one
    // and only ever use names and paths.
    const bool icons = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
    for (const ServiceRow &row : serviceRows) {
        ServiceInfo info;
        info.code = row.code;
        info.name = QLatin1String(row.name);
        info.iconPath = QStringLiteral(":/services/resources/%1.png").arg(QLatin1String(row.icon));
        if (icons)
            info.icon = QPixmap(info.iconPath);
        info.targetIsTask = row.targetIsTask;
        m_services.append(info);
    }
    for (const SysEventRow &row : sysEventRows) {
        SysEventInfo info;
        info.code = row.code;
        info.name = QLatin1String(row.name);
        info.iconPath = QStringLiteral(":/sysevents/resources/%1.png").arg(QLatin1String(row.icon));
        if (icons)
            info.icon = QPixmap(info.iconPath);
        info.known = true;
        m_sysEvents.insert(row.code, info);
    }
}

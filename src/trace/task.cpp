#include "trace/task.h"

#include "trace/itempresenter.h"
#include "trace/node.h"

#include <cstdlib>

namespace {

struct RoleName
{
    Task::TaskRole role;
    const char *upper;
    const char *matched; // substring of a task name that gives the role; null: never derived
};

// In matching order: a name with both "kernel" and "idle" is the kernel.
constexpr RoleName roleNames[] = {
    {Task::KERNEL, "KERNEL", "kernel"},    {Task::IDLE, "IDLE", "idle"},
    {Task::TX_TASK, "TX_TASK", "tx task"}, {Task::RX_TASK, "RX_TASK", "rx task"},
    {Task::ISR, "ISR", nullptr},           {Task::USER_TASK, "USER_TASK", nullptr},
    {Task::UNKNOWN, "UNKNOWN", nullptr},
};

} // namespace

QColor randomLightColour()
{
    // Each component is 255 - r / 32767 * 64, so between 191 and 255, with r
    // taken to 15 bits: glibc's rand() goes up to 2^31 - 1, not 32767.
    const auto component = [] { return int(255.0 - double(std::rand() % 32768) / 32767.0 * 64.0); };
    const int blue = component();
    const int green = component();
    const int red = component();
    return QColor(red, green, blue, 255);
}

void skipLightColours(int count)
{
    for (int i = 0; i < count; ++i)
        randomLightColour();
}

Task::Task(int id, const QString &name, Node *node, int role, const QColor &colour)
    : NodeItem(id, name, colour, TASK, node)
    , m_role(role == ROLE_FROM_NAME ? roleFromName(name) : TaskRole(role))
{
    const bool noColour = m_colour == QColor(Qt::black);
    if (noColour && m_role == KERNEL)
        m_colour = QColor(Qt::white);
    present(noColour && m_role != KERNEL);
}

Task::TaskRole Task::roleFromName(const QString &name)
{
    for (const RoleName &entry : roleNames) {
        if (entry.matched && name.contains(QLatin1String(entry.matched), Qt::CaseInsensitive))
            return entry.role;
    }
    return USER_TASK;
}

QString Task::roleName(int role)
{
    for (const RoleName &entry : roleNames) {
        if (entry.role == role)
            return QLatin1String(entry.upper);
    }
    return QString();
}

void Task::fillProperties(TracerItemCategory category, QTableWidget *table, int data1, int)
{
    if (ItemPresenter *presenter = ItemPresenter::current(); presenter && table)
        presenter->fillProperties(*this, category, table, data1);
}

#include "trace/hub.h"

#include "trace/task.h"

#include <QIcon>
#include <QTableWidget>
#include <QTreeWidgetItem>

Hub::Hub(int id, const QString &name, Node *node, int hubNodeId, const QColor &colour, bool listed)
    : NodeItem(id, name, colour, listed ? HUB : HIDDEN_HUB, node)
    , m_hubNodeId(hubNodeId)
{
    if (m_colour == QColor(Qt::black))
        m_colour = randomLightColour();
    if (listed) {
        QTreeWidgetItem *entry = treeItem();
        entry->setText(0, name);
        entry->setIcon(0, QIcon(QStringLiteral(":/interface/resources/hub_16.png")));
    }
}

void Hub::fillProperties(TracerItemCategory, QTableWidget *table, int, int)
{
    if (!table)
        return;
    table->setRowCount(3);
    setCategoryRow(table, QStringLiteral("HUB"), QStringLiteral(":/interface/resources/hub_16.png"));
    setPropertyRow(table, 1, QStringLiteral("Name"), name());
    setPropertyRow(table, 2, QStringLiteral("ID"), QString::number(id()));
    fitProperties(table);
}

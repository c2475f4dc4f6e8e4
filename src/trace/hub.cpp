#include "trace/hub.h"

#include "trace/itempresenter.h"
#include "trace/node.h"
#include "trace/task.h"

Hub::Hub(int id, const QString &name, Node *node, int hubNodeId, const QColor &colour, bool listed)
    : NodeItem(id, name, colour, listed ? HUB : HIDDEN_HUB, node)
    , m_hubNodeId(hubNodeId)
{
    if (m_colour == QColor(Qt::black))
        m_colour = randomLightColour();
    createTreeItem(category(), node ? node->parentEntryFor(category()) : nullptr);
}

void Hub::fillProperties(TracerItemCategory, QTableWidget *table, int, int)
{
    if (ItemPresenter *presenter = ItemPresenter::current(); presenter && table)
        presenter->fillProperties(*this, table);
}

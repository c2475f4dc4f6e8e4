#include "trace/hub.h"

#include "trace/itempresenter.h"

Hub::Hub(int id, const QString &name, Node *node, int hubNodeId, const QColor &colour, bool listed)
    : NodeItem(id, name, colour, listed ? HUB : HIDDEN_HUB, node)
    , m_hubNodeId(hubNodeId)
{
    present(m_colour == QColor(Qt::black));
}

void Hub::fillProperties(TracerItemCategory, QTableWidget *table, int, int)
{
    if (ItemPresenter *presenter = ItemPresenter::current(); presenter && table)
        presenter->fillProperties(*this, table);
}

#include "trace/traceritem.h"

#include "trace/itempresenter.h"
#include "trace/node.h"
#include "trace/task.h"

#include <QVariant>

namespace {
ItemPresenter *installedPresenter = nullptr;
}

ItemPresenter::~ItemPresenter() = default;

ItemPresenter *ItemPresenter::current()
{
    return installedPresenter;
}

void ItemPresenter::install(ItemPresenter *presenter)
{
    installedPresenter = presenter;
}

TracerItem::TracerItem(TracerItemCategory category)
    : m_category(category)
{}

TracerItem::~TracerItem() = default;

void TracerItem::fillProperties(TracerItemCategory, QTableWidget *, int, int) {}

QVariant TracerItem::itemData(TracerItem *item)
{
    return QVariant::fromValue(static_cast<void *>(item));
}

TracerItem *TracerItem::itemFromData(const QVariant &data)
{
    return static_cast<TracerItem *>(data.value<void *>());
}

void TracerItem::createTreeItem(TracerItemCategory entryCategory, QTreeWidgetItem *parent)
{
    if (ItemPresenter *presenter = ItemPresenter::current())
        m_treeItem = presenter->createEntry(*this, entryCategory, parent);
}

NodeItem::NodeItem(int id, const QString &name, const QColor &colour, TracerItemCategory category, Node *node)
    : TracerItem(category)
    , m_colour(colour)
    , m_id(id)
    , m_name(name)
    , m_node(node)
{}

void NodeItem::present(bool drawColour)
{
    if (m_node && m_node->isDetached()) {
        m_node->presentLater(this, drawColour);
        return;
    }
    if (drawColour)
        m_colour = randomLightColour();
    createTreeItem(category(), m_node ? m_node->parentEntryFor(category()) : nullptr);
}

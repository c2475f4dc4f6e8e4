#pragma once

#include "trace/node.h"

#include <QObject>

#include <memory>
#include <unordered_map>

// The T built from `node` (T(node)), shared by every view that shows the
// node: built when the first of them asks, kept while one holds it,
// forgotten with the node. Main thread only.
template<typename T> std::shared_ptr<const T> sharedOfNode(const Node &node)
{
    // Weak, so that the last view to close frees it; the entry goes with the
    // node, so that a node made later at the same address starts afresh.
    static std::unordered_map<const Node *, std::weak_ptr<const T>> built;
    const auto [slot, added] = built.try_emplace(&node);
    if (added) {
        const Node *key = &node;
        QObject::connect(&node, &QObject::destroyed, [key] { built.erase(key); });
    }
    if (std::shared_ptr<const T> found = slot->second.lock())
        return found;
    auto made = std::make_shared<const T>(node);
    slot->second = made;
    return made;
}

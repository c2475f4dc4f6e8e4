#pragma once

#include "trace/node.h"

#include <QString>

#include <atomic>
#include <memory>

class EventCatalogue;
class QThread;

// One trace file read, on any thread, into a node of no project: the node
// makes no tree entries and draws no colours until ProjectTable::adopt()
// attaches it on the main thread. Reading many files at once this way gives
// what reading them one after another in place gives.
class NodeParse
{
public:
    // Reads the file at `path` now. `cancel` (may be null) stops the read
    // once it turns true, which leaves a failed parse without a message. A
    // node read whole is handed to `home` (null: stays on this thread).
    NodeParse(const QString &path, int origin, const EventCatalogue *catalogue,
              const Node::LoadProgress &progress = {}, const std::atomic<bool> *cancel = nullptr,
              QThread *home = nullptr);
    NodeParse(const NodeParse &) = delete;
    NodeParse &operator=(const NodeParse &) = delete;
    ~NodeParse();

    // The node read; null when the read failed or once taken.
    std::unique_ptr<Node> takeNode() { return std::move(m_node); }
    // The finished user message of a failed read.
    const QString &problem() const { return m_problem; }
    // How many colours a failed read drew before it stopped, which a read in
    // place takes from the rand() sequence.
    int colourDraws() const { return m_colourDraws; }

private:
    std::unique_ptr<Node> m_node;
    QString m_problem;
    int m_colourDraws = 0;
};

#include "trace/nodeparse.h"

NodeParse::NodeParse(const QString &path, int origin, const EventCatalogue *catalogue,
                     const Node::LoadProgress &progress, const std::atomic<bool> *cancel, QThread *home)
{
    std::unique_ptr<Node> node(new Node(Node::Detached{}, origin, catalogue, cancel));
    try {
        node->readFile(path, progress, Node::ReadMode::ScanFirst);
    } catch (const QString &text) {
        m_problem = text;
        m_colourDraws = node->colourDraws();
        return;
    }
    // Its objects live where it will be used: queued calls and timers on
    // them would otherwise wait for a pool thread's event loop.
    if (home)
        node->moveToThreadWithItems(home);
    m_node = std::move(node);
}

NodeParse::~NodeParse() = default;

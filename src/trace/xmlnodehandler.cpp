#include "trace/xmlnodehandler.h"

#include "trace/cnumber.h"
#include "trace/eventcatalogue.h"
#include "trace/hub.h"
#include "trace/task.h"

namespace {

// An attribute counts as missing when it is absent and when it is empty.
template<typename Attributes> bool has(const Attributes &atts, QLatin1String name)
{
    return !atts.value(name).isEmpty();
}

template<typename Attributes> qint32 int32(const Attributes &atts, QLatin1String name)
{
    return CNumber::toInt32(atts.value(name));
}

template<typename Attributes> QString text(const Attributes &atts, QLatin1String name)
{
    return QString(atts.value(name));
}

} // namespace

Node::XmlNodeHandler::XmlNodeHandler(Node *node)
    : m_node(node)
{}

bool Node::XmlNodeHandler::fail(const QString &text)
{
    m_error = text;
    return false;
}

bool Node::XmlNodeHandler::refuseEntity()
{
    return fail(QStringLiteral("Entity declarations are not supported. Parsing has been stopped."));
}

bool Node::XmlNodeHandler::tooManyDeclared(const char *what)
{
    return fail(QStringLiteral("More than %1 %2 are declared. Parsing has been stopped.")
                    .arg(MaxDeclared)
                    .arg(QLatin1String(what)));
}

bool Node::XmlNodeHandler::startElement(const QString &, const QString &localName, const QString &,
                                        const QXmlAttributes &atts)
{
    return element(localName, atts);
}

bool Node::XmlNodeHandler::startTag(QLatin1String name, const TraceScanner::Attributes &atts)
{
    return element(name, atts);
}

template<typename Name, typename Attributes>
bool Node::XmlNodeHandler::element(const Name &localName, const Attributes &atts)
{
    ++m_startTags;
    if (++m_depth > MaxDepth) {
        return fail(QStringLiteral("Elements are nested more than %1 levels deep. Parsing has been stopped.")
                        .arg(MaxDepth));
    }
    // Events outnumber every other element by far: test for them first.
    if (localName == QLatin1String("event"))
        return readEvent(atts);
    if (localName == QLatin1String("task"))
        return readTask(atts);
    if (localName == QLatin1String("hub"))
        return readHub(atts);
    if (localName == QLatin1String("service"))
        return readService(atts);
    if (localName == QLatin1String("node"))
        return readNode(atts);
    if (localName == QLatin1String("tasks"))
        m_tasksSeen = true;
    else if (localName == QLatin1String("hubs"))
        m_hubsSeen = true;
    else if (localName == QLatin1String("services"))
        m_servicesSeen = true;
    else if (localName == QLatin1String("trace"))
        return readTrace(atts);
    return true;
}

template<typename Attributes> bool Node::XmlNodeHandler::readNode(const Attributes &atts)
{
    if (!has(atts, QLatin1String("id")))
        return fail(QStringLiteral("NodeID is not found in the <node> tag. Parsing has been stopped."));
    m_node->m_nodeId = int32(atts, QLatin1String("id"));
    m_nodeIdSeen = true;
    if (has(atts, QLatin1String("name"))) {
        m_node->m_name = text(atts, QLatin1String("name"));
        m_nodeNameSeen = true;
    }
    return true;
}

template<typename Attributes>
bool Node::XmlNodeHandler::checkDeclaration(const Attributes &atts, bool folderSeen, const char *element)
{
    // Task, hub and service declarations share their checks and messages.
    if (!folderSeen)
        return fail(
            QStringLiteral("<%1s> tag is not found. Parsing has been stopped.").arg(QLatin1String(element)));
    for (const char *attribute : {"id", "name"}) {
        if (!has(atts, QLatin1String(attribute))) {
            return fail(
                QStringLiteral("Attribute '%1' is not found in the <%2> tag. Parsing has been stopped.")
                    .arg(QLatin1String(attribute), QLatin1String(element)));
        }
    }
    return true;
}

template<typename Attributes> bool Node::XmlNodeHandler::readTask(const Attributes &atts)
{
    if (!checkDeclaration(atts, m_tasksSeen, "task"))
        return false;
    const int id = int32(atts, QLatin1String("id"));
    if (m_node->m_tasks.contains(id))
        return true;
    if (m_node->m_tasks.size() >= MaxDeclared)
        return tooManyDeclared("tasks");
    m_node->m_tasks.insert(id, QSharedPointer<Task>::create(id, text(atts, QLatin1String("name")), m_node,
                                                            Task::ROLE_FROM_NAME, QColor(Qt::black)));
    return true;
}

template<typename Attributes> bool Node::XmlNodeHandler::readHub(const Attributes &atts)
{
    if (!checkDeclaration(atts, m_hubsSeen, "hub"))
        return false;
    const int id = int32(atts, QLatin1String("id"));
    if (m_node->m_hubs.contains(id))
        return true;
    if (m_node->m_hubs.size() >= MaxDeclared)
        return tooManyDeclared("hubs");
    m_node->m_hubs.insert(id, QSharedPointer<Hub>::create(id, text(atts, QLatin1String("name")), m_node,
                                                          m_node->m_nodeId, QColor(Qt::black), true));
    return true;
}

template<typename Attributes> bool Node::XmlNodeHandler::readService(const Attributes &atts)
{
    if (!checkDeclaration(atts, m_servicesSeen, "service"))
        return false;

    NodeServiceInfo info;
    info.id = qint16(quint16(int32(atts, QLatin1String("id")) & 0xFFFF));
    info.name = text(atts, QLatin1String("name"));
    // First catalogue name contained in the declared one wins; the last
    // entry's empty name is contained in every name.
    const QVector<ServiceInfo> none;
    for (const ServiceInfo &entry : m_node->m_catalogue ? m_node->m_catalogue->services() : none) {
        if (info.name.contains(entry.name, Qt::CaseInsensitive)) {
            info.code = entry.code;
            info.icon = entry.icon;
            info.iconPath = entry.iconPath;
            info.targetIsTask = entry.targetIsTask;
            break;
        }
    }
    m_node->m_services.insert(info.id, info);
    return true;
}

template<typename Attributes> bool Node::XmlNodeHandler::readTrace(const Attributes &atts)
{
    m_traceSeen = true;
    if (!has(atts, QLatin1String("lowCounterHz")))
        return fail(QStringLiteral(
            "Attribute 'lowCounterHz' is not found in the <trace> tag. Parsing has been stopped."));
    m_node->m_lowCounterHz = quint32(int32(atts, QLatin1String("lowCounterHz")));
    m_lowFrequencyRead = true;
    if (!has(atts, QLatin1String("highCounterHz")))
        return fail(QStringLiteral(
            "Attribute 'highCounterHz' is not found in the <trace> tag. Parsing has been stopped."));
    m_node->m_highCounterHz = quint32(int32(atts, QLatin1String("highCounterHz")));
    m_highFrequencyRead = true;
    return true;
}

template<typename Attributes> bool Node::XmlNodeHandler::readEvent(const Attributes &atts)
{
    if (!m_traceSeen)
        return fail(QStringLiteral("<trace> tag is not found. Parsing has been stopped."));
    if (!m_lowFrequencyRead)
        return fail(QStringLiteral(
            "Attribute 'lowCounterHz' is not found in the <trace> tag. Parsing has been stopped."));
    if (!m_highFrequencyRead)
        return fail(QStringLiteral(
            "Attribute 'highCounterHz' is not found in the <trace> tag. Parsing has been stopped."));

    // One lookup per attribute: an event is the hot path of the whole load.
    const auto type = atts.value(QLatin1String("type"));
    if (type.isEmpty())
        return fail(
            QStringLiteral("Attribute 'type' is not found in the <event> tag. Parsing has been stopped."));
    const auto low = atts.value(QLatin1String("lowCounter"));
    if (low.isEmpty())
        return fail(QStringLiteral(
            "Attribute 'lowCounter' is not found in the <event> tag. Parsing has been stopped."));
    const auto high = atts.value(QLatin1String("highCounter"));
    if (high.isEmpty())
        return fail(QStringLiteral(
            "Attribute 'highCounter' is not found in the <event> tag. Parsing has been stopped."));
    const auto param1 = atts.value(QLatin1String("param1"));
    if (param1.isEmpty())
        return fail(
            QStringLiteral("Attribute 'paramt1' is not found in the <event> tag. Parsing has been stopped."));
    const auto param2 = atts.value(QLatin1String("param2"));
    if (param2.isEmpty())
        return fail(
            QStringLiteral("Attribute 'param2' is not found in the <event> tag. Parsing has been stopped."));

    const qint32 eventType = CNumber::toInt32(type);
    const quint32 lowCounter = quint32(CNumber::toInt32(low));
    const quint32 highCounter = CNumber::toUInt32(high);
    const qint32 p2 = CNumber::toInt32(param2);

    // Entering the kernel: packet handling and kernel servicing run in task 0,
    // so a switch to it is recorded at the same instant.
    const bool entersKernel =
        eventType == EventType::KernelServicingRequest || EventType::isPacket(eventType);
    if (m_node->m_previousTaskId != 0 && entersKernel)
        m_node->addEvent(EventType::TaskSwitch, lowCounter, highCounter, 1, 0);

    // A packet event without a packet carries nothing to show.
    if (EventType::isPacket(eventType) && p2 == 0)
        return true;

    m_node->addEvent(eventType, lowCounter, highCounter, CNumber::toInt32(param1), p2);
    return reportPosition();
}

bool Node::XmlNodeHandler::reportPosition()
{
    if (!m_bytesRead)
        return true;
    if (m_probeEvents > 0 && m_node->eventCount() >= m_probeEvents) {
        m_node->reserveFromProgress(m_bytesRead(), m_fileSize());
        m_probeEvents = 0;
    }
    // Often enough for a smooth bar, rarely enough to cost nothing.
    constexpr int progressEvents = 16384;
    if (m_node->eventCount() % progressEvents != 0)
        return true;
    if (m_progress)
        m_progress(m_bytesRead(), m_fileSize());
    // A cancelled read ends here; its reader throws without a message.
    return !m_node->cancelled();
}

bool Node::XmlNodeErrorHandler::stop(const QXmlParseException &exception)
{
    if (m_message.isEmpty()) {
        m_message = exception.message() + QLatin1String("\nLine: ") +
                    QString::number(exception.lineNumber()) + QLatin1String(", column: ") +
                    QString::number(exception.columnNumber());
    }
    return false;
}

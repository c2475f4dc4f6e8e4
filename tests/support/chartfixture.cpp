#include "chartfixture.h"

#include "trace/node.h"
#include "tracefixture.h"

#include <QScreen>
#include <QtTest>

using TraceFixture::eventXml;

namespace {

QByteArray nodeTrace(int node)
{
    const QByteArray kernel = "<tasks><task id=\"0\" name=\"Kernel\"/>";
    if (node == 1)
        return TraceFixture::traceFile(
            1,
            kernel + "<task id=\"1\" name=\"Worker\"/><task id=\"2\" name=\"Logger\"/></tasks>\n"
                     "<hubs><hub id=\"1\" name=\"Queue\"/></hubs>\n",
            eventXml(0, 0, 0, 1) + eventXml(1, 100) + eventXml(1, 300) + eventXml(0, 600, 0, 2) +
                eventXml(1, 700) + eventXml(1, 1000));
    return TraceFixture::traceFile(2, kernel + "<task id=\"1\" name=\"Sender\"/></tasks>\n",
                                   eventXml(0, 0, 0, 1) + eventXml(1, 200) + eventXml(1, 500));
}

} // namespace

bool ChartFixture::loadNodes()
{
    qRegisterMetaType<Node *>();
    m_first = m_tracer.load(QStringLiteral("chart"), QStringLiteral("1.trace"), nodeTrace(1));
    m_second = m_tracer.load(QStringLiteral("chart"), QStringLiteral("2.trace"), nodeTrace(2));
    return m_first && m_second;
}

void ChartFixture::makeRoot(const QList<Node *> &nodes, Node *current)
{
    m_chart.reset();
    m_root = std::make_unique<ViewRoot>();
    m_states.clear();
    for (Node *node : nodes)
        m_root->addViewedNode(node);
    m_root->setCurrentNode(current);
}

bool ChartFixture::showChart(const QSize &size, const QString &project)
{
    m_chart = std::make_unique<EventChart>(m_root.get(), &m_states, project);
    m_chart->resize(size);
    m_chart->show();
    if (!QTest::qWaitForWindowExposed(m_chart.get()))
        return false;
    m_chart->viewport()->repaint();
    return true;
}

QImage ChartFixture::shownPixels(const QWidget *widget) const
{
    QCoreApplication::processEvents();
    QWidget *window = m_chart->window();
    const QImage shown = window->screen()->grabWindow(window->winId()).toImage();
    if (shown.isNull())
        return shown;
    return shown.copy(QRect(widget->mapTo(window, QPoint(0, 0)), widget->size()))
        .convertToFormat(QImage::Format_RGB32);
}

#include "app/tracer.h"
#include "chart/viewroot.h"
#include "testsupport.h"
#include "trace/node.h"
#include "tracefixture.h"
#include "views/chartexport.h"
#include "views/chartmarks.h"
#include "views/eventchart.h"

#include <QDomDocument>
#include <QFile>
#include <QLoggingCategory>
#include <QScrollBar>
#include <QSettings>
#include <QSvgRenderer>
#include <QtTest>

#include <memory>

using TraceFixture::eventXml;
using TraceFixture::traceFile;

namespace {

// Two tasks taking turns, one hub.
QByteArray nodeTrace(int node)
{
    return traceFile(
        node,
        "<tasks><task id=\"0\" name=\"Kernel\"/><task id=\"1\" name=\"Worker\"/>"
        "<task id=\"2\" name=\"Logger\"/></tasks>\n<hubs><hub id=\"1\" name=\"Queue\"/></hubs>\n",
        eventXml(0, 0, 0, 1) + eventXml(1, 100) + eventXml(0, 250, 0, 2) + eventXml(1, 400) +
            eventXml(0, 700 + 50 * node, 0, 1) + eventXml(1, 900));
}

} // namespace

class TestChartExport : public QObject
{
    Q_OBJECT

private:
    Tracer m_tracer;
    QList<Node *> m_nodes;
    std::unique_ptr<ViewRoot> m_root;
    NodeViewStates m_states;
    std::unique_ptr<EventChart> m_chart;

    void setStrip(const char *key, bool shown)
    {
        QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"))
            .setValue(QStringLiteral("settings/") + QLatin1String(key),
                      QLatin1String(shown ? "show" : "hide"));
        m_chart->on_settingsUpdatingNotify(QLatin1String(key));
    }

private slots:
    void initTestCase()
    {
        // Qt's SVG reader keeps to the tiny profile and cannot resolve the
        // hatching's pattern, which it says on every load.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.svg.warning=false"));
        m_tracer.initHeadless();
        for (const int id : {1, 2}) {
            const QString name = QString::number(id) + QStringLiteral(".trace");
            m_nodes << m_tracer.createNode(
                TestSupport::writeTempFile(QStringLiteral("export"), name, nodeTrace(id)),
                m_tracer.rootEntry(), FROM_TRACER);
            QVERIFY(m_nodes.last());
        }
    }

    void exportedPictureIsWhatTheChartShows_data()
    {
        QTest::addColumn<bool>("ruler");
        QTest::addColumn<bool>("overview");
        QTest::addColumn<bool>("externalHeader");
        QTest::addColumn<int>("zoomSteps");

        QTest::newRow("the rows alone, fitted, the header outside") << false << false << true << 0;
        QTest::newRow("ruler and overview over a zoomed, scrolled chart") << true << true << true << 5;
        QTest::newRow("the ruler alone over rows with their header inside") << true << false << false << 2;
    }

    // PNG: the chart's own pixels without its scroll bars; SVG: a document of
    // the same size that a renderer accepts.
    void exportedPictureIsWhatTheChartShows()
    {
        QFETCH(bool, ruler);
        QFETCH(bool, overview);
        QFETCH(bool, externalHeader);
        QFETCH(int, zoomSteps);

        m_tracer.setExternalHeader(externalHeader);
        m_root = std::make_unique<ViewRoot>();
        m_states.clear();
        for (Node *node : std::as_const(m_nodes))
            m_root->addViewedNode(node);
        m_root->setCurrentNode(m_nodes.first());
        m_chart = std::make_unique<EventChart>(m_root.get(), &m_states, QStringLiteral("/project"));
        m_chart->resize(700, 160);
        m_chart->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_chart.get()));
        setStrip("show_time_ruler", ruler);
        setStrip("show_overview", overview);
        while (zoomSteps-- > 0)
            m_chart->zoomIn();
        m_chart->horizontalScrollBar()->setValue(m_chart->horizontalScrollBar()->maximum() / 3);
        m_chart->marks()->setCursorAt(ChartMarks::CURSOR_A, m_chart->viewport()->width() / 2, true);

        const QRect rows = m_chart->viewport()->geometry();
        const QRect shown(rows.left(), rows.top() - m_chart->topMargin(), rows.width(),
                          rows.height() + m_chart->topMargin());
        QCOMPARE(m_chart->topMargin() > 0, ruler || overview);
        const QImage grabbed = m_chart->grab(shown).toImage().convertToFormat(QImage::Format_RGB32);

        const QString png = TestSupport::sandboxPath() + QStringLiteral("/chart.png");
        QVERIFY(ChartExport::write(*m_chart, png));
        QCOMPARE(QImage(png).convertToFormat(QImage::Format_RGB32), grabbed);

        const QString svg = TestSupport::sandboxPath() + QStringLiteral("/chart.SVG");
        QVERIFY(ChartExport::write(*m_chart, svg));
        QFile file(svg);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QDomDocument document;
        QVERIFY(document.setContent(&file));
        QCOMPARE(document.documentElement().tagName(), QStringLiteral("svg"));
        const QSvgRenderer renderer(svg);
        QVERIFY(renderer.isValid());
        QCOMPARE(renderer.defaultSize(), shown.size());
    }
};

QTEST_MAIN(TestChartExport)
#include "tst_chartexport.moc"

#include "chartfixture.h"
#include "testsupport.h"
#include "views/chartexport.h"
#include "views/chartmarks.h"

#include <QDomDocument>
#include <QFile>
#include <QLoggingCategory>
#include <QScrollBar>
#include <QSettings>
#include <QSvgRenderer>
#include <QtTest>

class TestChartExport : public QObject, public ChartFixture
{
    Q_OBJECT

private:
    void setStrip(const char *key, bool shown)
    {
        TestSupport::settingsStore().setValue(QStringLiteral("settings/") + QLatin1String(key),
                                              QLatin1String(shown ? "show" : "hide"));
        m_chart->on_settingsUpdatingNotify(QLatin1String(key));
    }

private slots:
    void initTestCase()
    {
        // Qt's SVG reader keeps to the tiny profile and cannot resolve the
        // hatching's pattern, which it says on every load.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.svg.warning=false"));
        QVERIFY(loadNodes());
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
        QVERIFY(makeChart({m_first, m_second}, m_first, QSize(700, 160)));
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

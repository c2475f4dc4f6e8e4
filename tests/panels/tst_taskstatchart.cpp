#include "headlesstracer.h"
#include "trace/node.h"
#include "trace/project.h"
#include "trace/task.h"
#include "tracefixture.h"
#include "views/taskstatchart.h"

#include <QApplication>
#include <QStyle>
#include <QtTest>

using TraceFixture::eventXml;

namespace {

// Tasks 1 and 2; task 1 runs from 0 until 100 us, task 2 until `endAt` (us).
QByteArray trace(int nodeId, quint32 endAt)
{
    return TraceFixture::traceFile(
        nodeId, "<tasks><task id=\"1\" name=\"First\"/><task id=\"2\" name=\"Second\"/></tasks>\n",
        eventXml(0, 0, 0, nodeId << 8 | 1) + eventXml(0, 100, 0, nodeId << 8 | 2) + eventXml(1, endAt));
}

// What the chart paints over magenta, which it never paints itself. The frame is 508 - 108 = 400
// pixels wide; the share texts stay right of x 440, clear of the bars.
QImage render(TaskStatChart &chart)
{
    chart.resize(508, 80);
    QImage image(chart.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    chart.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

// The colours of task row `row` at the frame's left edge, the bar's top and bottom edges, inside the
// bar's first and last columns, at its right edge, past it and at the frame's right edge: b(lack),
// g(rey), w(indow background), t(he task's colour) or ?.
QString bar(const QImage &image, int row, int length, const QColor &task)
{
    const QHash<QRgb, QChar> names{
        {QColor(Qt::black).rgb(), u'b'},
        {QColor(Qt::lightGray).rgb(), u'g'},
        {QApplication::style()->standardPalette().color(QPalette::Window).rgb(), u'w'},
        {task.rgb(), u't'}};
    QString colours;
    for (const QPoint &p :
         {QPoint(100, 8), QPoint(101, 0), QPoint(101, 16), QPoint(101, 8), QPoint(99 + length, 8),
          QPoint(100 + length, 8), QPoint(qMin(101 + length, 500), 8), QPoint(500, 8)})
        colours += names.value(image.pixel(p.x(), 6 + 18 * row + p.y()), u'?');
    return colours;
}

} // namespace

class TestTaskStatChart : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<HeadlessTracer> m_tracer;
    int m_dirCount = 0;

    Node *open(int nodeId, quint32 endAt)
    {
        return m_tracer->load(QString::number(m_dirCount), QStringLiteral("%1.trace").arg(nodeId),
                              trace(nodeId, endAt));
    }

private slots:
    void init()
    {
        ++m_dirCount;
        m_tracer = std::make_unique<HeadlessTracer>();
    }

    void cleanup() { m_tracer.reset(); }

    void panelFollowsTheCurrentNode_data()
    {
        // Steps "item <node> <category>", "view <node>", "announce <node>", "remove <node>" or "close",
        // then "=>" and the node shown: a, b or nothing for a blank panel.
        QTest::addColumn<QString>("script");
        QTest::newRow("before any node the panel stays blank") << "item b 6 =>";
        QTest::newRow("a node entry shows that node; task, hub, folder, event and empty selections keep it")
            << "item a 2, item b 6, item b 7, item b 3, item b 9, item b 10, item - 0, item - 255 => a";
        QTest::newRow("a view's current node switches the panel, no node keeps it")
            << "item a 2, view b, view - => b";
        QTest::newRow("the shown node announced as leaving blanks the panel while it exists")
            << "view a, announce a =>";
        QTest::newRow("the shown node removed from the project blanks the panel") << "view a, remove a =>";
        QTest::newRow("a node becoming current after a removal is shown")
            << "view a, remove a, item b 2 => b";
        QTest::newRow("closing the project blanks the panel") << "view a, close =>";
    }

    void panelFollowsTheCurrentNode()
    {
        QFETCH(QString, script);
        const QString shown = script.section(QStringLiteral("=>"), 1).trimmed();
        // Node a's tasks have a third and two thirds of the time, bars cut to whole pixels; node b's
        // first task has all of it, the second none.
        QMap<QString, Node *> nodes{{QStringLiteral("a"), open(1, 300)}, {QStringLiteral("b"), open(2, 100)}};
        QVERIFY(nodes.value(QStringLiteral("a")) && nodes.value(QStringLiteral("b")));
        Project *const project = nodes.first()->project();

        TaskStatChart chart;
        for (const QString &step : script.section(QStringLiteral(" =>"), 0, 0).split(QStringLiteral(", "))) {
            const QStringList words = step.split(QLatin1Char(' '));
            Node *const node = nodes.value(words.value(1));
            if (words.at(0) == QLatin1String("item")) { // a node even where the category names no node
                m_tracer->setCurTracerItem(node, TracerItem::TracerItemCategory(words.value(2).toInt()), 0,
                                           0);
            } else if (words.at(0) == QLatin1String("view")) {
                m_tracer->on_curNode_Changed(node, nullptr);
            } else if (words.at(0) == QLatin1String("announce")) {
                emit project->nodeUnderRemoving(node);
            } else if (words.at(0) == QLatin1String("remove")) {
                project->removeNode(node);
                nodes.remove(words.at(1));
            } else {
                m_tracer->removeProject(project);
                nodes.clear();
            }
        }

        QCOMPARE(chart.node(), nodes.value(shown));
        const QImage image = render(chart);
        if (shown.isEmpty()) {
            QImage blank(image.size(), image.format());
            blank.fill(Qt::magenta);
            QVERIFY(image == blank);
            return;
        }
        // Bars framed black in the light grey frame: part of it, all of it, or none and only the frame.
        const bool a = shown == QLatin1String("a");
        const QList<int> lengths = a ? QList<int>{133, 266} : QList<int>{400, 0};
        const QStringList bars = a ? QStringList{QStringLiteral("bbbttbwg"), QStringLiteral("bbbttbwg")}
                                   : QStringList{QStringLiteral("bbbttbbb"), QStringLiteral("gggwwgwg")};
        for (int row = 0; row < 2; ++row)
            QCOMPARE(bar(image, row, lengths.at(row), chart.node()->task(row + 1)->colour()), bars.at(row));
        // No row below the node's two tasks.
        QCOMPARE(image.pixelColor(101, 6 + 18 * 2 + 8),
                 QApplication::style()->standardPalette().color(QPalette::Window));
    }
};

QTEST_MAIN(TestTaskStatChart)
#include "tst_taskstatchart.moc"

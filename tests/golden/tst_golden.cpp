// The chart as a whole, pixel for pixel: each row paints a view of the demo
// project or a fixture and compares it with a reference picture kept in
// tests/golden/images. Any change to what is drawn, or where, shows here;
// `cmake --build build --target update-golden-images` paints the references
// anew when a change is meant.

#include "chart/chartimage.h"
#include "chart/chartsettings.h"
#include "chart/settingsstore.h"
#include "trace/eventcatalogue.h"
#include "trace/node.h"
#include "trace/projecttable.h"

#include <QSaveFile>
#include <QtTest>

#include <memory>

using Settings = QList<QPair<QString, QVariant>>;
Q_DECLARE_METATYPE(ChartImageOptions)

namespace {

ChartImageOptions options(QSize size, bool log = false, bool external = true, qint64 from = 0, qint64 to = 0)
{
    ChartImageOptions o;
    o.size = size;
    o.logMode = log;
    o.externalHeader = external;
    o.hasRange = to > from;
    o.from = from;
    o.to = to;
    return o;
}

QString sourcePath(const QString &relative)
{
    return QStringLiteral(KESTREL_SOURCE_DIR "/") + relative;
}

// The chart names a project by its directory, so the traces are read from a
// copy at a place that is the same on every machine, wherever the sources lie.
// Other test runs on the machine read the same copy: it is replaced by a
// rename, never removed, so that none of them meets half a file.
QString fixedCopy(const QString &relative)
{
    const QFileInfo source(sourcePath(relative));
    const QString dir = QStringLiteral("/tmp/kestrel-golden/") + source.dir().dirName();
    QDir().mkpath(dir);
    const QString copy = dir + QLatin1Char('/') + source.fileName();
    QFile in(source.filePath());
    QSaveFile out(copy);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) || out.write(in.readAll()) < 0)
        return QString();
    return out.commit() ? copy : QString();
}

} // namespace

class TestGolden : public QObject
{
    Q_OBJECT

private:
    const EventCatalogue m_catalogue;

private slots:
    void chartMatchesItsReference_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<ChartImageOptions>("options");
        QTest::addColumn<Settings>("settings");

        const QStringList demo{QStringLiteral("demo/node1.trace"), QStringLiteral("demo/node2.trace"),
                               QStringLiteral("demo/node3.trace"), QStringLiteral("demo/node4.trace")};
        const QSize size(1000, 560);
        QTest::newRow("four aligned nodes fitted, the header outside")
            << "demo-fitted" << demo << options(size) << Settings();
        QTest::newRow("one node on the logarithmic axis")
            << "node2-log" << QStringList{QStringLiteral("demo/node2.trace")} << options(size, true)
            << Settings();
        QTest::newRow("a range with the header inside the rows")
            << "demo-internal-header" << demo << options(size, false, false, 20000, 60000) << Settings();
        QTest::newRow("a close-up of markers, hub and packet arrows")
            << "demo-closeup" << demo << options(size, false, true, 27000, 30000) << Settings();
        QTest::newRow("a close-up with every chart setting away from its default")
            << "demo-closeup-settings" << demo << options(size, false, true, 27000, 30000)
            << Settings{{QStringLiteral("node_swimlines_schema"), 2},
                        {QStringLiteral("event_bar_filling"), 1},
                        {QStringLiteral("packet_arrow_width"), 3},
                        {QStringLiteral("packet_transmit_arrow_style"), QStringLiteral("dashed")},
                        {QStringLiteral("packet_receive_arrow_style"), QStringLiteral("dotted")},
                        {QStringLiteral("syncmarker_color"), int(0x3366CC)},
                        {QStringLiteral("show_syncmarker_icons"), QStringLiteral("hide")}};
        QTest::newRow("monochrome swimlines on the logarithmic axis")
            << "node1-log-monochrome" << QStringList{QStringLiteral("demo/node1.trace")}
            << options(size, true) << Settings{{QStringLiteral("node_swimlines_schema"), 1}};
        QTest::newRow("a small fixture with every kind of event")
            << "fixture-small" << QStringList{QStringLiteral("tests/cli/fixtures/small/alpha.trace")}
            << options(QSize(800, 300)) << Settings();
        // Rows run in order and task colours come from one random sequence as nodes load: new rows go last.
        ChartImageOptions ruled = options(size, false, true, 27000, 30000);
        ruled.ruler = true;
        QTest::newRow("a time ruler above a close-up") << "demo-ruler" << demo << ruled << Settings();
        ruled.overview = true;
        QTest::newRow("the overview of every node between the ruler and a close-up")
            << "demo-overview" << demo << ruled << Settings();
    }

    void chartMatchesItsReference()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, files);
        QFETCH(ChartImageOptions, options);
        QFETCH(Settings, settings);

        QSettings store = openSettingsStore();
        store.clear();
        for (const auto &[id, value] : settings)
            store.setValue(ChartSettings::keyFor(id), value);
        store.sync();

        ProjectTable projects;
        QList<Node *> nodes;
        for (const QString &file : std::as_const(files))
            nodes << projects.load(fixedCopy(file), nullptr, FROM_CMDLINE, &m_catalogue);
        options.catalogue = &m_catalogue;
        const QImage actual = renderChartImage(nodes, options).convertToFormat(QImage::Format_RGB32);

        const QString reference = sourcePath(QStringLiteral("tests/golden/images/%1.png").arg(name));
        if (qEnvironmentVariableIsSet("KESTREL_UPDATE_GOLDEN")) {
            QVERIFY(actual.save(reference));
            return;
        }
        const QImage expected = QImage(reference).convertToFormat(QImage::Format_RGB32);
        QVERIFY2(!expected.isNull(), qPrintable(reference));
        if (actual != expected)
            actual.save(QDir::temp().filePath(name + QStringLiteral("-actual.png")));
        QVERIFY2(actual == expected,
                 qPrintable(name + QStringLiteral(" differs: see its -actual.png in ") + QDir::tempPath()));
    }
};

QTEST_MAIN(TestGolden)
#include "tst_golden.moc"

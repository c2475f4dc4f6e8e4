#include "chart/chartsettings.h"
#include "testsupport.h"

#include <QDomDocument>
#include <QFile>
#include <QtTest>

namespace {

void store(const QString &id, const QVariant &value)
{
    TestSupport::settingsStore().setValue(QStringLiteral("settings/") + id, value);
}

// The chart field each id feeds, named apart from the reader's own table so that a crossed wire shows.
QVariant fieldOf(const ChartSettings &s, const QString &id)
{
    const QHash<QString, QVariant> fields{
        {QStringLiteral("packet_arrow_width"), s.arrowWidth},
        {QStringLiteral("packet_transmit_arrow_style"), int(s.transmitStyle)},
        {QStringLiteral("packet_receive_arrow_style"), int(s.receiveStyle)},
        {QStringLiteral("packet_transmit_arrow_color"), s.transmitColor},
        {QStringLiteral("packet_receive_arrow_color"), s.receiveColor},
        {QStringLiteral("syncmarker_color"), s.syncMarkerColor},
        {QStringLiteral("usermarker_color"), s.userMarkerColor},
        {QStringLiteral("node_swimlines_schema"), s.swimlineSchema},
        {QStringLiteral("event_bar_filling"), s.gradientBars},
        {QStringLiteral("show_syncmarker_icons"), s.showSyncMarkerIcons},
        {QStringLiteral("show_time_ruler"), s.showRuler},
        {QStringLiteral("show_overview"), s.showOverview},
        {QStringLiteral("cursor_snap_distance"), s.cursorSnapDistance},
    };
    if (!fields.contains(id))
        qFatal("no chart field for %s", qPrintable(id));
    return fields.value(id);
}

// A stored value for every chart id that reads as something other than its default.
QHash<QString, QVariant> nonDefaultValues()
{
    return {
        {QStringLiteral("packet_arrow_width"), 3},
        {QStringLiteral("packet_transmit_arrow_style"), QStringLiteral("dashed")},
        {QStringLiteral("packet_receive_arrow_style"), QStringLiteral("dotted")},
        {QStringLiteral("packet_transmit_arrow_color"), 0xFF101010u},
        {QStringLiteral("packet_receive_arrow_color"), 0xFF202020u},
        {QStringLiteral("syncmarker_color"), 0xFF303030u},
        {QStringLiteral("usermarker_color"), 0xFF404040u},
        {QStringLiteral("node_swimlines_schema"), 2},
        {QStringLiteral("event_bar_filling"), 1},
        {QStringLiteral("show_syncmarker_icons"), QStringLiteral("hide")},
        {QStringLiteral("show_time_ruler"), QStringLiteral("hide")},
        {QStringLiteral("show_overview"), QStringLiteral("hide")},
        {QStringLiteral("cursor_snap_distance"), 12},
    };
}

QString attr(const QDomElement &e, const char *name)
{
    return e.attribute(QLatin1String(name));
}

// Every editor of the compiled-in layout, in document order.
QList<QDomElement> layoutEditors(QDomElement parent = QDomElement())
{
    static QDomDocument document;
    if (parent.isNull()) {
        QFile file(QStringLiteral(":/other/resources/settings.xml"));
        if (!file.open(QIODevice::ReadOnly) || !document.setContent(&file))
            qFatal("the settings layout is missing or malformed");
        parent = document.documentElement();
    }
    QList<QDomElement> editors;
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        editors << (e.hasAttribute(QStringLiteral("id")) ? QList<QDomElement>{e} : layoutEditors(e));
    return editors;
}

} // namespace

class TestChartSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestSupport::settingsStore().clear(); }

    void storedValueReadsAsIsClampedOrDefault_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariant>("expected");

        const QString width = QStringLiteral("packet_arrow_width");
        const QString style = QStringLiteral("packet_transmit_arrow_style");
        const QString schema = QStringLiteral("node_swimlines_schema");
        const QString filling = QStringLiteral("event_bar_filling");
        const QString sync = QStringLiteral("syncmarker_color");
        const QString icons = QStringLiteral("show_syncmarker_icons");
        const auto text = [](const char *value) { return QVariant(QLatin1String(value)); };
        const QVariant syncDefault = QColor(QRgb(0xFF0080));

        QTest::newRow("an arrow width beyond 32 bits is clamped to 3")
            << width << text("99999999999") << QVariant(3);
        QTest::newRow("transmit dash-dotted")
            << style << text("dashdotted") << QVariant(int(Qt::DashDotLine));
        QTest::newRow("an arrow style in other case is solid")
            << QStringLiteral("packet_receive_arrow_style") << text("Dotted") << QVariant(int(Qt::SolidLine));
        QTest::newRow("a colour of 0 is black")
            << QStringLiteral("usermarker_color") << QVariant(0u) << QVariant(QColor(QRgb(0)));
        QTest::newRow("a colour beyond 32 bits reads as the default")
            << sync << QVariant(Q_INT64_C(0x100FF0000)) << syncDefault;
        QTest::newRow("a swimline schema of 3 reads as 0") << schema << QVariant(3) << QVariant(0);
        QTest::newRow("any non-zero bar filling means gradient") << filling << QVariant(7) << QVariant(true);
        QTest::newRow("an icon setting in other case hides the icons")
            << icons << text("Show") << QVariant(false);
        QTest::newRow("a snapping distance of 99 is held to 50")
            << QStringLiteral("cursor_snap_distance") << QVariant(99) << QVariant(50);
        QTest::newRow("a snapping distance that is no number reads as 5")
            << QStringLiteral("cursor_snap_distance") << text("near") << QVariant(5);

        // What the dialog first shows for each chart editor reads as the default: a spin box its least
        // value or its default, a colour box its default, a selection its (last) default option, radios the
        // one of value 0.
        for (const QDomElement &e : layoutEditors()) {
            const QString id = attr(e, "id");
            if (!nonDefaultValues().contains(id) ||
                (e.tagName() == QLatin1String("radio") && attr(e, "value") != QLatin1String("0")))
                continue;
            QVariant shown = 0;
            if (e.tagName() == QLatin1String("spinbox"))
                shown = qBound(attr(e, "minvalue").toInt(), attr(e, "default").toInt(),
                               attr(e, "maxvalue").toInt());
            else if (e.tagName() == QLatin1String("colorbox"))
                shown = QColor(QRgb(attr(e, "default").toUInt(nullptr, 0))).rgb();
            for (QDomElement option = e.firstChildElement(); !option.isNull();
                 option = option.nextSiblingElement())
                if (attr(option, "default") == QLatin1String("true"))
                    shown = attr(option, "value");
            QTest::addRow("%s as the dialog first shows it", qPrintable(id))
                << id << shown << fieldOf(ChartSettings(), id);
        }
    }

    void storedValueReadsAsIsClampedOrDefault()
    {
        QFETCH(QString, id);
        QFETCH(QVariant, stored);
        // Every other chart key holds a value off its default, so a key read under the wrong name shows.
        const QHash<QString, QVariant> others = nonDefaultValues();
        for (auto it = others.cbegin(); it != others.cend(); ++it)
            store(it.key(), it.key() == id ? stored : it.value());
        QTEST(fieldOf(ChartSettings::read(), id), "expected");
    }

    void rereadingChangesOnlyTheNamedField_data()
    {
        QTest::addColumn<QString>("id");
        for (const QString &id : nonDefaultValues().keys())
            QTest::addRow("rereading %s leaves the others as read before", qPrintable(id)) << id;
        QTest::newRow("rereading the empty id reads everything") << QString();
        QTest::newRow("ids are compared case-sensitively") << QStringLiteral("SyncMarker_Color");
    }

    void rereadingChangesOnlyTheNamedField()
    {
        QFETCH(QString, id);

        ChartSettings settings = ChartSettings::read();
        const QHash<QString, QVariant> values = nonDefaultValues();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            store(it.key(), it.value());
        store(QStringLiteral("recent_nodes_max_count"), 9);

        const bool used = values.contains(id);
        const QList<QDomElement> editors = layoutEditors(); // the dialog edits every chart setting
        QVERIFY(!used || std::any_of(editors.cbegin(), editors.cend(),
                                     [&](const QDomElement &e) { return attr(e, "id") == id; }));
        QCOMPARE(settings.reread(id), id.isEmpty() || used);
        const ChartSettings everything = ChartSettings::read();
        for (const QString &other : values.keys()) {
            const bool changes = id.isEmpty() || other == id;
            QCOMPARE(fieldOf(settings, other), fieldOf(changes ? everything : ChartSettings(), other));
        }
        // Settings equal only when every field is.
        QCOMPARE(settings == ChartSettings(), !id.isEmpty() && !used);
    }
};

QTEST_MAIN(TestChartSettings)
#include "tst_chartsettings.moc"

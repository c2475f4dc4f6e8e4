#include "chart/chartsettings.h"

#include <QDomDocument>
#include <QFile>
#include <QSettings>
#include <QtTest>

namespace {

void store(const QString &id, const QVariant &value)
{
    QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"))
        .setValue(QStringLiteral("settings/") + id, value);
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
    };
}

QVariant rgb(QRgb value)
{
    return QColor(value);
}

QString attr(const QDomElement &e, const char *name)
{
    return e.attribute(QLatin1String(name));
}

// One editor of the compiled-in layout: `page` is the section titles joined by "/".
struct LayoutEditor
{
    QString page;
    QString group;
    QDomElement element;
};

struct Layout
{
    QString primarySection;
    QStringList pages; // in page order
    QList<LayoutEditor> editors;
};

void collect(const QDomElement &parent, const QString &page, const QString &group, Layout &layout)
{
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        const QString name = e.tagName();
        if (name == QLatin1String("section")) {
            const QString path =
                page.isEmpty() ? attr(e, "title") : page + QLatin1Char('/') + attr(e, "title");
            layout.pages.append(path);
            collect(e, path, QString(), layout);
        } else if (name == QLatin1String("group")) {
            collect(e, page, attr(e, "title"), layout);
        } else if (QStringList{QStringLiteral("spinbox"), QStringLiteral("radio"),
                               QStringLiteral("selectbox"), QStringLiteral("colorbox")}
                       .contains(name)) {
            layout.editors.append({page, group, e});
        }
    }
}

Layout compiledLayout()
{
    QFile file(QStringLiteral(":/other/resources/settings.xml"));
    QDomDocument document;
    if (!file.open(QIODevice::ReadOnly) || !document.setContent(&file))
        qFatal("the settings layout is missing or malformed");
    Layout layout;
    layout.primarySection = attr(document.documentElement(), "primary_section");
    if (document.documentElement().tagName() == QLatin1String("layout"))
        collect(document.documentElement(), QString(), QString(), layout);
    return layout;
}

// "page > group: element attributes [options]", every attribute the dialog reads, in one line.
QString describe(const LayoutEditor &editor)
{
    const QDomElement &e = editor.element;
    QString text = editor.page + QStringLiteral(" > ") + editor.group + QStringLiteral(": ") + e.tagName();
    for (const char *name : {"id", "title", "minvalue", "maxvalue", "position", "value", "default"}) {
        if (e.hasAttribute(QLatin1String(name)))
            text += QLatin1Char(' ') + QLatin1String(name) + QLatin1Char('=') + attr(e, name);
    }
    QStringList options;
    for (QDomElement option = e.firstChildElement(); !option.isNull(); option = option.nextSiblingElement())
        options.append(option.tagName() + QLatin1Char(':') + attr(option, "title") + QLatin1Char('|') +
                       attr(option, "value") + QLatin1Char('|') + attr(option, "default"));
    if (!options.isEmpty())
        text += QStringLiteral(" [") + options.join(QStringLiteral(", ")) + QLatin1Char(']');
    return text;
}

} // namespace

class TestChartSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview")).clear(); }

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
        const QVariant syncDefault = rgb(0xFF0080);

        QTest::newRow("a width written as text, as it comes back from disk")
            << width << text("2") << QVariant(2);
        QTest::newRow("an arrow width of 9 is clamped to 3") << width << QVariant(9) << QVariant(3);
        QTest::newRow("an arrow width of 0 is clamped to 1") << width << QVariant(0) << QVariant(1);
        QTest::newRow("an arrow width beyond 32 bits is clamped to 3")
            << width << text("99999999999") << QVariant(3);
        QTest::newRow("a text where the arrow width belongs reads as 1")
            << width << text("wide") << QVariant(1);
        QTest::newRow("a fractional arrow width reads as 1") << width << QVariant(2.5) << QVariant(1);
        QTest::newRow("a list where the arrow width belongs reads as 1")
            << width << QVariant(QStringList{QStringLiteral("2"), QStringLiteral("3")}) << QVariant(1);
        QTest::newRow("transmit dotted") << style << text("dotted") << QVariant(int(Qt::DotLine));
        QTest::newRow("transmit dashed") << style << text("dashed") << QVariant(int(Qt::DashLine));
        QTest::newRow("transmit dash-dotted")
            << style << text("dashdotted") << QVariant(int(Qt::DashDotLine));
        QTest::newRow("a number where an arrow style belongs is solid")
            << style << QVariant(2) << QVariant(int(Qt::SolidLine));
        QTest::newRow("an arrow style in other case is solid")
            << QStringLiteral("packet_receive_arrow_style") << text("Dotted") << QVariant(int(Qt::SolidLine));
        QTest::newRow("a colour as the dialog stores it, with alpha 0xFF")
            << QStringLiteral("packet_transmit_arrow_color") << QVariant(0xFF123456u) << rgb(0x123456);
        QTest::newRow("a colour written as text, as it comes back from disk")
            << sync << text("4278255360") << rgb(0x00FF00);
        QTest::newRow("a colour of 0 is black")
            << QStringLiteral("usermarker_color") << QVariant(0u) << rgb(0);
        QTest::newRow("a colour of -1 reads as the default") << sync << QVariant(-1) << syncDefault;
        QTest::newRow("a colour beyond 32 bits reads as the default")
            << sync << QVariant(Q_INT64_C(0x100FF0000)) << syncDefault;
        QTest::newRow("a colour name instead of a number reads as the default")
            << sync << text("red") << syncDefault;
        QTest::newRow("striped swimlines") << schema << QVariant(2) << QVariant(2);
        QTest::newRow("a swimline schema of 3 reads as 0") << schema << QVariant(3) << QVariant(0);
        QTest::newRow("a swimline schema of -1 reads as 0") << schema << QVariant(-1) << QVariant(0);
        QTest::newRow("a text where the swimline schema belongs reads as 0")
            << schema << text("striped") << QVariant(0);
        QTest::newRow("any non-zero bar filling means gradient") << filling << QVariant(7) << QVariant(true);
        QTest::newRow("a text where the bar filling belongs means flat")
            << filling << text("gradient") << QVariant(false);
        QTest::newRow("hidden sync marker icons") << icons << text("hide") << QVariant(false);
        QTest::newRow("an icon setting in other case hides the icons")
            << icons << text("Show") << QVariant(false);
        QTest::newRow("an empty icon setting hides the icons")
            << icons << QVariant(QString()) << QVariant(false);
    }

    void storedValueReadsAsIsClampedOrDefault()
    {
        QFETCH(QString, id);
        QFETCH(QVariant, stored);
        QFETCH(QVariant, expected);

        store(id, stored);
        QCOMPARE(fieldOf(ChartSettings::read(), id), expected);
    }

    void chartUsesOnlyItsOwnIds_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("used");

        for (const QString &id : nonDefaultValues().keys())
            QTest::addRow("the chart uses %s", qPrintable(id)) << id << true;
        QTest::newRow("the recent nodes limit is the main window's")
            << QStringLiteral("recent_nodes_max_count") << false;
        QTest::newRow("a full key is not an id") << QStringLiteral("settings/syncmarker_color") << false;
        QTest::newRow("ids are compared case-sensitively") << QStringLiteral("SyncMarker_Color") << false;
    }

    void chartUsesOnlyItsOwnIds()
    {
        QFETCH(QString, id);
        QFETCH(bool, used);

        QCOMPARE(ChartSettings::usesId(id), used);
        QCOMPARE(ChartSettings::ids().contains(id), used);
    }

    void rereadingChangesOnlyTheNamedField_data()
    {
        QTest::addColumn<QString>("id");
        for (const QString &id : nonDefaultValues().keys())
            QTest::addRow("rereading %s leaves the others as read before", qPrintable(id)) << id;
        QTest::newRow("rereading the empty id reads everything") << QString();
        QTest::newRow("rereading an id the chart does not use changes nothing")
            << QStringLiteral("recent_nodes_max_count");
    }

    void rereadingChangesOnlyTheNamedField()
    {
        QFETCH(QString, id);

        ChartSettings settings = ChartSettings::read();
        const QHash<QString, QVariant> values = nonDefaultValues();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            store(it.key(), it.value());
        store(QStringLiteral("recent_nodes_max_count"), 9);

        QCOMPARE(settings.reread(id), id.isEmpty() || values.contains(id));
        const ChartSettings everything = ChartSettings::read();
        for (const QString &other : values.keys()) {
            const bool changes = id.isEmpty() || other == id;
            QCOMPARE(fieldOf(settings, other), fieldOf(changes ? everything : ChartSettings(), other));
        }
    }

    void layoutHoldsTheDocumentedPagesAndEditorsInOrder()
    {
        const Layout layout = compiledLayout();
        QCOMPARE(layout.primarySection, QStringLiteral("Files"));
        QCOMPARE(layout.pages, (QStringList{QStringLiteral("Files"), QStringLiteral("View"),
                                            QStringLiteral("View/EventChart Look"),
                                            QStringLiteral("View/EventChart Display")}));
        QStringList editors;
        QStringList ids;
        for (const LayoutEditor &editor : layout.editors) {
            editors.append(describe(editor));
            ids.append(attr(editor.element, "id"));
        }
        for (const QString &id : ChartSettings::ids())
            QVERIFY2(ids.contains(id), qPrintable(id));

        const QString recent = QStringLiteral("Files > Recent Nodes: spinbox id=recent_%1_max_count "
                                              "title=items shown in Recent %2 menu minvalue=0 maxvalue=20");
        const QString look = QStringLiteral("View/EventChart Look > ");
        const QString swimlines =
            look +
            QStringLiteral("Color schema of node item swimlines: radio id=node_swimlines_schema title=");
        const QString filling = look + QStringLiteral("Event bar filling: radio id=event_bar_filling title=");
        const QString arrows = look + QStringLiteral("Transmit/Receive Arrows: ");
        const QString style =
            arrows + QStringLiteral("selectbox id=packet_%1_arrow_style title=%2 arrow style: position=right "
                                    "[option:solid|solid|true, option:dotted|dotted|, "
                                    "option:dashed|dashed|, option:dash-dotted|dashdotted|]");
        const QString color =
            look + QStringLiteral("Colors: colorbox id=%1 title=%2 color: position=right default=0x00%3");
        const QStringList expected{
            recent.arg(QStringLiteral("nodes"), QStringLiteral("Nodes")),
            recent.arg(QStringLiteral("projects"), QStringLiteral("Projects")),
            swimlines + QStringLiteral("Color swimlines value=0"),
            swimlines + QStringLiteral("Monochrome swimlines value=1"),
            swimlines + QStringLiteral("Striped swimlines value=2"),
            filling + QStringLiteral("Flat value=0"),
            filling + QStringLiteral("Gradient value=1"),
            arrows + QStringLiteral("spinbox id=packet_arrow_width title=Arrow width: minvalue=1 maxvalue=3 "
                                    "position=right"),
            style.arg(QStringLiteral("transmit"), QStringLiteral("Transmit")),
            style.arg(QStringLiteral("receive"), QStringLiteral("Receive")),
            color.arg(QStringLiteral("syncmarker_color"), QStringLiteral("syncMarker"),
                      QStringLiteral("FF0080")),
            color.arg(QStringLiteral("usermarker_color"), QStringLiteral("userMarker"),
                      QStringLiteral("FF8000")),
            color.arg(QStringLiteral("packet_transmit_arrow_color"), QStringLiteral("Transmit arrow"),
                      QStringLiteral("008000")),
            color.arg(QStringLiteral("packet_receive_arrow_color"), QStringLiteral("Receive arrow"),
                      QStringLiteral("000080")),
            QStringLiteral(
                "View/EventChart Display > Sync Markers: selectbox id=show_syncmarker_icons "
                "title=syncMarker icons position=right [option:show|show|true, option:hide|hide|]")};
        QCOMPARE(editors, expected);
    }

    void defaultIsWhatTheDialogFirstShows_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QVariant>("shown");

        // What the dialog shows for each chart editor on an empty store.
        for (const LayoutEditor &editor : compiledLayout().editors) {
            const QDomElement &e = editor.element;
            const QString id = attr(e, "id");
            if (!ChartSettings::usesId(id) ||
                (e.tagName() == QLatin1String("radio") && attr(e, "value").toInt() != 0))
                continue;
            QVariant shown = 0; // the radio of value 0
            if (e.tagName() == QLatin1String("spinbox"))
                shown = qBound(attr(e, "minvalue").toInt(), 0, attr(e, "maxvalue").toInt());
            else if (e.tagName() == QLatin1String("colorbox"))
                shown = QColor(QRgb(attr(e, "default").toUInt(nullptr, 0))).rgb();
            for (QDomElement option = e.firstChildElement(); !option.isNull();
                 option = option.nextSiblingElement())
                if (attr(option, "default") == QLatin1String("true"))
                    shown = attr(option, "value"); // a later default wins, as in the dialog
            QTest::addRow("%s, absent or stored as first shown", qPrintable(id)) << id << shown;
        }
    }

    // Every other chart key holds a value off its default, so a key read under the wrong name shows.
    void defaultIsWhatTheDialogFirstShows()
    {
        QFETCH(QString, id);
        QFETCH(QVariant, shown);

        const QHash<QString, QVariant> others = nonDefaultValues();
        QVERIFY(others.contains(id));
        for (auto it = others.cbegin(); it != others.cend(); ++it) {
            if (it.key() != id)
                store(it.key(), it.value());
        }
        const ChartSettings absent = ChartSettings::read();
        for (auto it = others.cbegin(); it != others.cend(); ++it)
            QVERIFY2((fieldOf(absent, it.key()) == fieldOf(ChartSettings(), it.key())) == (it.key() == id),
                     qPrintable(it.key()));
        store(id, shown);
        QCOMPARE(fieldOf(ChartSettings::read(), id), fieldOf(ChartSettings(), id));
    }
};

QTEST_MAIN(TestChartSettings)
#include "tst_chartsettings.moc"

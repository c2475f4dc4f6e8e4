#include "app/tracer.h"
#include "settings/chartsettings.h"
#include "testsupport.h"

#include <QDomDocument>
#include <QFile>
#include <QPoint>
#include <QSettings>
#include <QtTest>

#include <memory>

namespace {

std::unique_ptr<QSettings> openStore()
{
    return std::make_unique<QSettings>(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
}

void store(const QString &id, const QVariant &value)
{
    const std::unique_ptr<QSettings> settings = openStore();
    settings->setValue(QStringLiteral("settings/") + id, value);
}

// The chart field each setting id feeds, named independently of the reader's
// own table so that a crossed wire between id and field shows.
QVariant fieldOf(const ChartSettings &s, const QString &id)
{
    if (id == QLatin1String("packet_arrow_width"))
        return s.arrowWidth;
    if (id == QLatin1String("packet_transmit_arrow_style"))
        return int(s.transmitStyle);
    if (id == QLatin1String("packet_receive_arrow_style"))
        return int(s.receiveStyle);
    if (id == QLatin1String("packet_transmit_arrow_color"))
        return s.transmitColor;
    if (id == QLatin1String("packet_receive_arrow_color"))
        return s.receiveColor;
    if (id == QLatin1String("syncmarker_color"))
        return s.syncMarkerColor;
    if (id == QLatin1String("usermarker_color"))
        return s.userMarkerColor;
    if (id == QLatin1String("node_swimlines_schema"))
        return s.swimlineSchema;
    if (id == QLatin1String("event_bar_filling"))
        return s.gradientBars;
    if (id == QLatin1String("show_syncmarker_icons"))
        return s.showSyncMarkerIcons;
    qFatal("no chart field for %s", qPrintable(id));
    return {};
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

QVariant pen(Qt::PenStyle style)
{
    return int(style);
}

QVariant rgb(QRgb value)
{
    return QColor(value);
}

// One editor of the compiled-in layout with where it stands.
struct LayoutEditor
{
    QString page;  // section titles from the top, joined by "/"
    QString group; // empty directly on a page
    QDomElement element;
};

struct Layout
{
    QString primarySection;
    QStringList pages; // in document order, which is page order
    QList<LayoutEditor> editors;
};

bool isEditor(const QString &name)
{
    return name == QLatin1String("spinbox") || name == QLatin1String("radio") ||
           name == QLatin1String("selectbox") || name == QLatin1String("colorbox");
}

void collect(const QDomElement &parent, const QString &page, const QString &group, Layout &layout)
{
    for (QDomElement child = parent.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        const QString name = child.tagName();
        if (name == QLatin1String("section")) {
            const QString title = child.attribute(QStringLiteral("title"));
            const QString path = page.isEmpty() ? title : page + QLatin1Char('/') + title;
            layout.pages.append(path);
            collect(child, path, QString(), layout);
        } else if (name == QLatin1String("group")) {
            collect(child, page, child.attribute(QStringLiteral("title")), layout);
        } else if (isEditor(name)) {
            layout.editors.append({page, group, child});
        }
    }
}

Layout compiledLayout()
{
    QFile file(QStringLiteral(":/other/resources/settings.xml"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the settings layout is not compiled in");
    QDomDocument document(QStringLiteral("settingsLayout"));
    QString error;
    int line = 0;
    if (!document.setContent(&file, &error, &line))
        qFatal("settings layout line %d: %s", line, qPrintable(error));
    Layout layout;
    layout.primarySection = document.documentElement().attribute(QStringLiteral("primary_section"));
    if (document.documentElement().tagName() == QLatin1String("layout"))
        collect(document.documentElement(), QString(), QString(), layout);
    return layout;
}

// "title|value|default" per option, as the select box lists them.
QStringList optionsOf(const QDomElement &selectbox)
{
    QStringList options;
    for (QDomElement option = selectbox.firstChildElement(); !option.isNull();
         option = option.nextSiblingElement()) {
        options.append(option.tagName() + QLatin1Char(':') + option.attribute(QStringLiteral("title")) +
                       QLatin1Char('|') + option.attribute(QStringLiteral("value")) + QLatin1Char('|') +
                       option.attribute(QStringLiteral("default")));
    }
    return options;
}

// The default option's value (a later default wins), as the dialog selects it.
QString defaultOption(const QDomElement &selectbox)
{
    QString value;
    for (QDomElement option = selectbox.firstChildElement(QStringLiteral("option")); !option.isNull();
         option = option.nextSiblingElement(QStringLiteral("option"))) {
        if (option.attribute(QStringLiteral("default")) == QLatin1String("true"))
            value = option.attribute(QStringLiteral("value"));
    }
    return value;
}

QRgb colorDefault(const QDomElement &colorbox, bool *ok)
{
    return colorbox.attribute(QStringLiteral("default")).toUInt(ok, 0);
}

QString attr(const QDomElement &e, const char *name)
{
    return e.attribute(QLatin1String(name));
}

} // namespace

class TestChartSettings : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        const std::unique_ptr<QSettings> settings = openStore();
        settings->clear();
    }

    void absentKeyReadsAsReaderDefault_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("an absent arrow width draws 1 px arrows")
            << QStringLiteral("packet_arrow_width") << QVariant(1);
        QTest::newRow("an absent transmit style draws solid lines")
            << QStringLiteral("packet_transmit_arrow_style") << pen(Qt::SolidLine);
        QTest::newRow("an absent receive style draws solid lines")
            << QStringLiteral("packet_receive_arrow_style") << pen(Qt::SolidLine);
        QTest::newRow("an absent transmit colour is green 128")
            << QStringLiteral("packet_transmit_arrow_color") << rgb(0x008000);
        QTest::newRow("an absent receive colour is blue 128")
            << QStringLiteral("packet_receive_arrow_color") << rgb(0x000080);
        QTest::newRow("an absent sync marker colour is #ff0080")
            << QStringLiteral("syncmarker_color") << rgb(0xFF0080);
        QTest::newRow("an absent user marker colour is #ff8000")
            << QStringLiteral("usermarker_color") << rgb(0xFF8000);
        QTest::newRow("an absent swimline schema is the colour schema")
            << QStringLiteral("node_swimlines_schema") << QVariant(0);
        QTest::newRow("an absent bar filling is flat")
            << QStringLiteral("event_bar_filling") << QVariant(false);
        QTest::newRow("absent icon visibility shows the icons")
            << QStringLiteral("show_syncmarker_icons") << QVariant(true);
    }

    // Every other chart key holds a value off its default, so a key read
    // under the wrong name shows.
    void absentKeyReadsAsReaderDefault()
    {
        QFETCH(QString, id);
        QFETCH(QVariant, expected);

        const QHash<QString, QVariant> others = nonDefaultValues();
        for (auto it = others.cbegin(); it != others.cend(); ++it) {
            if (it.key() != id)
                store(it.key(), it.value());
        }
        const ChartSettings settings = ChartSettings::read();
        QCOMPARE(fieldOf(settings, id), expected);
        QCOMPARE(fieldOf(ChartSettings(), id), expected);
        for (auto it = others.cbegin(); it != others.cend(); ++it) {
            if (it.key() != id)
                QVERIFY2(fieldOf(settings, it.key()) != fieldOf(ChartSettings(), it.key()),
                         qPrintable(it.key()));
        }
    }

    void storedValueIsReadBack_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariant>("expected");

        const QString width = QStringLiteral("packet_arrow_width");
        const QString transmit = QStringLiteral("packet_transmit_arrow_style");
        const QString receive = QStringLiteral("packet_receive_arrow_style");
        QTest::newRow("arrow width 2") << width << QVariant(2) << QVariant(2);
        QTest::newRow("arrow width 3") << width << QVariant(3) << QVariant(3);
        QTest::newRow("a width written as text, as it comes back from disk")
            << width << QVariant(QStringLiteral("2")) << QVariant(2);
        QTest::newRow("transmit dotted")
            << transmit << QVariant(QStringLiteral("dotted")) << pen(Qt::DotLine);
        QTest::newRow("transmit dashed")
            << transmit << QVariant(QStringLiteral("dashed")) << pen(Qt::DashLine);
        QTest::newRow("transmit dash-dotted")
            << transmit << QVariant(QStringLiteral("dashdotted")) << pen(Qt::DashDotLine);
        QTest::newRow("transmit solid")
            << transmit << QVariant(QStringLiteral("solid")) << pen(Qt::SolidLine);
        QTest::newRow("receive dotted") << receive << QVariant(QStringLiteral("dotted")) << pen(Qt::DotLine);
        QTest::newRow("receive dash-dotted")
            << receive << QVariant(QStringLiteral("dashdotted")) << pen(Qt::DashDotLine);
        QTest::newRow("a transmit colour as the dialog stores it, with alpha 0xFF")
            << QStringLiteral("packet_transmit_arrow_color") << QVariant(0xFF123456u) << rgb(0x123456);
        QTest::newRow("a receive colour without alpha byte")
            << QStringLiteral("packet_receive_arrow_color") << QVariant(0x00ABCDEFu) << rgb(0xABCDEF);
        QTest::newRow("a sync marker colour written as text, as it comes back from disk")
            << QStringLiteral("syncmarker_color") << QVariant(QStringLiteral("4278255360")) << rgb(0x00FF00);
        QTest::newRow("a user marker colour of 0 is black")
            << QStringLiteral("usermarker_color") << QVariant(0u) << rgb(0x000000);
        QTest::newRow("monochrome swimlines")
            << QStringLiteral("node_swimlines_schema") << QVariant(1) << QVariant(1);
        QTest::newRow("striped swimlines")
            << QStringLiteral("node_swimlines_schema") << QVariant(2) << QVariant(2);
        QTest::newRow("gradient bars")
            << QStringLiteral("event_bar_filling") << QVariant(1) << QVariant(true);
        QTest::newRow("flat bars stored explicitly")
            << QStringLiteral("event_bar_filling") << QVariant(0) << QVariant(false);
        QTest::newRow("hidden sync marker icons")
            << QStringLiteral("show_syncmarker_icons") << QVariant(QStringLiteral("hide")) << QVariant(false);
        QTest::newRow("shown sync marker icons stored explicitly")
            << QStringLiteral("show_syncmarker_icons") << QVariant(QStringLiteral("show")) << QVariant(true);
    }

    void storedValueIsReadBack()
    {
        QFETCH(QString, id);
        QFETCH(QVariant, stored);
        QFETCH(QVariant, expected);

        store(id, stored);
        QCOMPARE(fieldOf(ChartSettings::read(), id), expected);
    }

    void unusableValueReadsAsDefaultOrClamped_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariant>("expected");

        const QString width = QStringLiteral("packet_arrow_width");
        const QString schema = QStringLiteral("node_swimlines_schema");
        const QString filling = QStringLiteral("event_bar_filling");
        const QString sync = QStringLiteral("syncmarker_color");
        const QString icons = QStringLiteral("show_syncmarker_icons");
        const QVariant syncDefault = rgb(0xFF0080);

        QTest::newRow("an arrow width of 9 is clamped to 3") << width << QVariant(9) << QVariant(3);
        QTest::newRow("an arrow width of -1 is clamped to 1") << width << QVariant(-1) << QVariant(1);
        QTest::newRow("an arrow width of 0 is clamped to 1") << width << QVariant(0) << QVariant(1);
        QTest::newRow("an arrow width beyond 32 bits is clamped to 3")
            << width << QVariant(QStringLiteral("99999999999")) << QVariant(3);
        QTest::newRow("a text where the arrow width belongs reads as 1")
            << width << QVariant(QStringLiteral("wide")) << QVariant(1);
        QTest::newRow("a fractional arrow width reads as 1") << width << QVariant(2.5) << QVariant(1);
        QTest::newRow("a list where the arrow width belongs reads as 1")
            << width << QVariant(QStringList{QStringLiteral("2"), QStringLiteral("3")}) << QVariant(1);
        QTest::newRow("a swimline schema of 9 reads as 0") << schema << QVariant(9) << QVariant(0);
        QTest::newRow("a swimline schema of -1 reads as 0") << schema << QVariant(-1) << QVariant(0);
        QTest::newRow("a text where the swimline schema belongs reads as 0")
            << schema << QVariant(QStringLiteral("striped")) << QVariant(0);
        QTest::newRow("any non-zero bar filling means gradient") << filling << QVariant(7) << QVariant(true);
        QTest::newRow("a text where the bar filling belongs means flat")
            << filling << QVariant(QStringLiteral("gradient")) << QVariant(false);
        QTest::newRow("a colour of -1 reads as the default") << sync << QVariant(-1) << syncDefault;
        QTest::newRow("a colour beyond 32 bits reads as the default")
            << sync << QVariant(Q_INT64_C(0x100FF0000)) << syncDefault;
        QTest::newRow("a colour name instead of a number reads as the default")
            << sync << QVariant(QStringLiteral("red")) << syncDefault;
        QTest::newRow("a point where a colour belongs reads as the default")
            << sync << QVariant(QPoint(3, 4)) << syncDefault;
        QTest::newRow("a number where an arrow style belongs is solid")
            << QStringLiteral("packet_transmit_arrow_style") << QVariant(2) << pen(Qt::SolidLine);
        QTest::newRow("an arrow style in other case is solid")
            << QStringLiteral("packet_receive_arrow_style") << QVariant(QStringLiteral("Dotted"))
            << pen(Qt::SolidLine);
        QTest::newRow("an icon setting in other case hides the icons")
            << icons << QVariant(QStringLiteral("Show")) << QVariant(false);
        QTest::newRow("an empty icon setting hides the icons")
            << icons << QVariant(QString()) << QVariant(false);
    }

    void unusableValueReadsAsDefaultOrClamped()
    {
        QFETCH(QString, id);
        QFETCH(QVariant, stored);
        QFETCH(QVariant, expected);

        store(id, stored);
        QCOMPARE(fieldOf(ChartSettings::read(), id), expected);
    }

    // A store edited by hand between runs: everything comes back as text.
    void handEditedStoreFileIsRead()
    {
        const QString path = TestSupport::sandboxPath() + QStringLiteral("/config/Sarvek/Kestrelview.conf");
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[settings]\n"
                   "packet_arrow_width=12\n"
                   "packet_transmit_arrow_style=dashdotted\n"
                   "packet_receive_arrow_style=@Invalid()\n"
                   "syncmarker_color=4294901888\n"
                   "usermarker_color=orange\n"
                   "node_swimlines_schema=1\n"
                   "event_bar_filling=\n"
                   "show_syncmarker_icons=hide\n");
        file.close();

        const ChartSettings settings = ChartSettings::read();
        QCOMPARE(settings.arrowWidth, 3);
        QCOMPARE(settings.transmitStyle, Qt::DashDotLine);
        QCOMPARE(settings.receiveStyle, Qt::SolidLine);
        QCOMPARE(settings.syncMarkerColor, QColor(QRgb(0xFF0080)));
        QCOMPARE(settings.userMarkerColor, QColor(QRgb(0xFF8000)));
        QCOMPARE(settings.swimlineSchema, 1);
        QCOMPARE(settings.gradientBars, false);
        QCOMPARE(settings.showSyncMarkerIcons, false);
    }

    void chartUsesOnlyItsOwnIds_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("used");

        const QStringList chartIds = nonDefaultValues().keys();
        for (const QString &id : chartIds)
            QTest::addRow("the chart uses %s", qPrintable(id)) << id << true;
        QTest::newRow("the recent nodes limit is the main window's")
            << QStringLiteral("recent_nodes_max_count") << false;
        QTest::newRow("the recent projects limit is the main window's")
            << QStringLiteral("recent_projects_max_count") << false;
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

    void rereadingAnIdChangesOnlyItsField_data()
    {
        QTest::addColumn<QString>("id");
        const QStringList chartIds = nonDefaultValues().keys();
        for (const QString &id : chartIds)
            QTest::addRow("rereading %s leaves the others as read before", qPrintable(id)) << id;
    }

    void rereadingAnIdChangesOnlyItsField()
    {
        QFETCH(QString, id);

        ChartSettings settings = ChartSettings::read();
        const QHash<QString, QVariant> values = nonDefaultValues();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            store(it.key(), it.value());

        QVERIFY(settings.reread(id));
        const ChartSettings everything = ChartSettings::read();
        for (const QString &other : values.keys()) {
            const QVariant expected =
                other == id ? fieldOf(everything, other) : fieldOf(ChartSettings(), other);
            QCOMPARE(fieldOf(settings, other), expected);
        }
    }

    void rereadingAnIdTheChartDoesNotUseChangesNothing()
    {
        ChartSettings settings = ChartSettings::read();
        store(QStringLiteral("syncmarker_color"), 0xFF000000u);
        store(QStringLiteral("recent_nodes_max_count"), 9);

        QVERIFY(!settings.reread(QStringLiteral("recent_nodes_max_count")));
        QVERIFY(settings == ChartSettings());
    }

    void rereadingTheEmptyIdReadsEverything()
    {
        ChartSettings settings;
        const QHash<QString, QVariant> values = nonDefaultValues();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            store(it.key(), it.value());

        QVERIFY(settings.reread(QString()));
        QVERIFY(settings == ChartSettings::read());
        QVERIFY(settings != ChartSettings());
    }

    void layoutPagesFollowTheTree()
    {
        const Layout layout = compiledLayout();
        QCOMPARE(layout.primarySection, QStringLiteral("Files"));
        const QStringList pages{QStringLiteral("Files"), QStringLiteral("View"),
                                QStringLiteral("View/EventChart Look"),
                                QStringLiteral("View/EventChart Display")};
        QCOMPARE(layout.pages, pages);
        for (const LayoutEditor &editor : layout.editors)
            QVERIFY2(editor.page != QLatin1String("View"), "the View page shows only its title");
    }

    void layoutEditorsMatchTheSchema_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("element");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("minvalue");
        QTest::addColumn<QString>("maxvalue");
        QTest::addColumn<QString>("position");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("defaultValue");
        QTest::addColumn<QStringList>("options");

        const QString files = QStringLiteral("Files");
        const QString look = QStringLiteral("View/EventChart Look");
        const QString display = QStringLiteral("View/EventChart Display");
        const QString recent = QStringLiteral("Recent Nodes");
        const QString swimlines = QStringLiteral("Color schema of node item swimlines");
        const QString filling = QStringLiteral("Event bar filling");
        const QString arrows = QStringLiteral("Transmit/Receive Arrows");
        const QString colors = QStringLiteral("Colors");
        const QString spinbox = QStringLiteral("spinbox");
        const QString radio = QStringLiteral("radio");
        const QString selectbox = QStringLiteral("selectbox");
        const QString colorbox = QStringLiteral("colorbox");
        const QString right = QStringLiteral("right");
        const QString none;
        const QStringList noOptions;
        const QStringList styles{
            QStringLiteral("option:solid|solid|true"), QStringLiteral("option:dotted|dotted|"),
            QStringLiteral("option:dashed|dashed|"), QStringLiteral("option:dash-dotted|dashdotted|")};

        int i = 0;
        QTest::newRow("the recent nodes limit comes first")
            << i++ << files << recent << spinbox << QStringLiteral("recent_nodes_max_count")
            << QStringLiteral("items shown in Recent Nodes menu") << QStringLiteral("0")
            << QStringLiteral("20") << none << none << none << noOptions;
        QTest::newRow("the recent projects limit shares its group")
            << i++ << files << recent << spinbox << QStringLiteral("recent_projects_max_count")
            << QStringLiteral("items shown in Recent Projects menu") << QStringLiteral("0")
            << QStringLiteral("20") << none << none << none << noOptions;
        QTest::newRow("colour swimlines are choice 0")
            << i++ << look << swimlines << radio << QStringLiteral("node_swimlines_schema")
            << QStringLiteral("Color swimlines") << none << none << none << QStringLiteral("0") << none
            << noOptions;
        QTest::newRow("monochrome swimlines are choice 1")
            << i++ << look << swimlines << radio << QStringLiteral("node_swimlines_schema")
            << QStringLiteral("Monochrome swimlines") << none << none << none << QStringLiteral("1") << none
            << noOptions;
        QTest::newRow("striped swimlines are choice 2")
            << i++ << look << swimlines << radio << QStringLiteral("node_swimlines_schema")
            << QStringLiteral("Striped swimlines") << none << none << none << QStringLiteral("2") << none
            << noOptions;
        QTest::newRow("flat bars are choice 0")
            << i++ << look << filling << radio << QStringLiteral("event_bar_filling")
            << QStringLiteral("Flat") << none << none << none << QStringLiteral("0") << none << noOptions;
        QTest::newRow("gradient bars are choice 1")
            << i++ << look << filling << radio << QStringLiteral("event_bar_filling")
            << QStringLiteral("Gradient") << none << none << none << QStringLiteral("1") << none << noOptions;
        QTest::newRow("the arrow width runs from 1 to 3 right of its title")
            << i++ << look << arrows << spinbox << QStringLiteral("packet_arrow_width")
            << QStringLiteral("Arrow width:") << QStringLiteral("1") << QStringLiteral("3") << right << none
            << none << noOptions;
        QTest::newRow("the transmit style offers four lines, solid by default")
            << i++ << look << arrows << selectbox << QStringLiteral("packet_transmit_arrow_style")
            << QStringLiteral("Transmit arrow style:") << none << none << right << none << none << styles;
        QTest::newRow("the receive style offers the same lines")
            << i++ << look << arrows << selectbox << QStringLiteral("packet_receive_arrow_style")
            << QStringLiteral("Receive arrow style:") << none << none << right << none << none << styles;
        QTest::newRow("the sync marker colour")
            << i++ << look << colors << colorbox << QStringLiteral("syncmarker_color")
            << QStringLiteral("syncMarker color:") << none << none << right << none
            << QStringLiteral("0x00FF0080") << noOptions;
        QTest::newRow("the user marker colour")
            << i++ << look << colors << colorbox << QStringLiteral("usermarker_color")
            << QStringLiteral("userMarker color:") << none << none << right << none
            << QStringLiteral("0x00FF8000") << noOptions;
        QTest::newRow("the transmit arrow colour")
            << i++ << look << colors << colorbox << QStringLiteral("packet_transmit_arrow_color")
            << QStringLiteral("Transmit arrow color:") << none << none << right << none
            << QStringLiteral("0x00008000") << noOptions;
        QTest::newRow("the receive arrow colour")
            << i++ << look << colors << colorbox << QStringLiteral("packet_receive_arrow_color")
            << QStringLiteral("Receive arrow color:") << none << none << right << none
            << QStringLiteral("0x00000080") << noOptions;
        QTest::newRow("the sync marker icons are shown by default")
            << i++ << display << QStringLiteral("Sync Markers") << selectbox
            << QStringLiteral("show_syncmarker_icons") << QStringLiteral("syncMarker icons") << none << none
            << right << none << none
            << QStringList{QStringLiteral("option:show|show|true"), QStringLiteral("option:hide|hide|")};
    }

    void layoutEditorsMatchTheSchema()
    {
        QFETCH(int, index);
        QFETCH(QString, page);
        QFETCH(QString, group);
        QFETCH(QString, element);
        QFETCH(QString, id);
        QFETCH(QString, title);
        QFETCH(QString, minvalue);
        QFETCH(QString, maxvalue);
        QFETCH(QString, position);
        QFETCH(QString, value);
        QFETCH(QString, defaultValue);
        QFETCH(QStringList, options);

        const Layout layout = compiledLayout();
        QVERIFY(index < layout.editors.size());
        const LayoutEditor &editor = layout.editors.at(index);
        const QDomElement &e = editor.element;
        QCOMPARE(editor.page, page);
        QCOMPARE(editor.group, group);
        QCOMPARE(e.tagName(), element);
        QCOMPARE(attr(e, "id"), id);
        QCOMPARE(attr(e, "title"), title);
        QCOMPARE(attr(e, "minvalue"), minvalue);
        QCOMPARE(attr(e, "maxvalue"), maxvalue);
        QCOMPARE(attr(e, "position"), position);
        QCOMPARE(attr(e, "value"), value);
        QCOMPARE(attr(e, "default"), defaultValue);
        QCOMPARE(optionsOf(e), options);
    }

    void layoutHoldsNoFurtherEditors() { QCOMPARE(compiledLayout().editors.size(), 15); }

    void everyChartSettingHasAnEditor()
    {
        QStringList layoutIds;
        for (const LayoutEditor &editor : compiledLayout().editors)
            layoutIds.append(attr(editor.element, "id"));
        for (const QString &id : ChartSettings::ids())
            QVERIFY2(layoutIds.contains(id), qPrintable(id));
    }

    // On first start the controller has seeded the two recent limits; an Apply
    // then writes every editor whose shown value differs from the stored one.
    void editorsUnstoredOnFirstStartFollowLayoutOrder()
    {
        {
            Tracer tracer; // seeds the recent limits as on every start
        }
        const std::unique_ptr<QSettings> settings = openStore();
        QStringList unstored;
        for (const LayoutEditor &editor : compiledLayout().editors) {
            const QDomElement &e = editor.element;
            const QString key = QStringLiteral("settings/") + attr(e, "id");
            if (e.tagName() == QLatin1String("spinbox")) {
                const int stored = settings->value(key, 0).toInt();
                if (qBound(attr(e, "minvalue").toInt(), stored, attr(e, "maxvalue").toInt()) != stored)
                    unstored.append(attr(e, "id"));
            } else if (e.tagName() == QLatin1String("selectbox")) {
                if (settings->value(key, QString()) != QVariant(defaultOption(e)))
                    unstored.append(attr(e, "id"));
            } else if (e.tagName() == QLatin1String("colorbox")) {
                bool ok = false;
                if (settings->value(key, 0u).toUInt() != QColor(colorDefault(e, &ok)).rgb())
                    unstored.append(attr(e, "id"));
            }
            // A radio whose value equals the stored choice (0 when absent) is
            // the checked one and never differs.
        }
        const QStringList expected{
            QStringLiteral("packet_arrow_width"),         QStringLiteral("packet_transmit_arrow_style"),
            QStringLiteral("packet_receive_arrow_style"), QStringLiteral("syncmarker_color"),
            QStringLiteral("usermarker_color"),           QStringLiteral("packet_transmit_arrow_color"),
            QStringLiteral("packet_receive_arrow_color"), QStringLiteral("show_syncmarker_icons")};
        QCOMPARE(unstored, expected);
    }

    void colourDefaultsParseToReaderDefaults_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<quint32>("readerDefault");

        QTest::newRow("sync marker 0xFF0080") << QStringLiteral("syncmarker_color") << 0xFF0080u;
        QTest::newRow("user marker 0xFF8000") << QStringLiteral("usermarker_color") << 0xFF8000u;
        QTest::newRow("transmit arrow 0x8000") << QStringLiteral("packet_transmit_arrow_color") << 0x8000u;
        QTest::newRow("receive arrow 0x80") << QStringLiteral("packet_receive_arrow_color") << 0x80u;
    }

    void colourDefaultsParseToReaderDefaults()
    {
        QFETCH(QString, id);
        QFETCH(quint32, readerDefault);

        QDomElement colorbox;
        for (const LayoutEditor &editor : compiledLayout().editors) {
            if (attr(editor.element, "id") == id)
                colorbox = editor.element;
        }
        QCOMPARE(colorbox.tagName(), QStringLiteral("colorbox"));
        bool ok = false;
        const QRgb parsed = colorDefault(colorbox, &ok);
        QVERIFY(ok);
        QCOMPARE(parsed, readerDefault);
        QCOMPARE(fieldOf(ChartSettings::read(), id), QVariant(QColor(parsed)));
    }

    void dialogFirstValuesReadAsReaderDefaults_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QVariant>("shown");

        // What the dialog shows for each chart editor on an empty store.
        for (const LayoutEditor &editor : compiledLayout().editors) {
            const QDomElement &e = editor.element;
            const QString id = attr(e, "id");
            if (!ChartSettings::usesId(id))
                continue;
            QVariant shown;
            if (e.tagName() == QLatin1String("spinbox")) {
                shown = qBound(attr(e, "minvalue").toInt(), 0, attr(e, "maxvalue").toInt());
            } else if (e.tagName() == QLatin1String("radio")) {
                if (attr(e, "value").toInt() != 0)
                    continue;
                shown = 0;
            } else if (e.tagName() == QLatin1String("selectbox")) {
                shown = defaultOption(e);
            } else {
                bool ok = false;
                shown = QColor(colorDefault(e, &ok)).rgb();
            }
            QTest::addRow("%s as the dialog first shows it", qPrintable(id)) << id << shown;
        }
    }

    void dialogFirstValuesReadAsReaderDefaults()
    {
        QFETCH(QString, id);
        QFETCH(QVariant, shown);

        store(id, shown);
        QCOMPARE(fieldOf(ChartSettings::read(), id), fieldOf(ChartSettings(), id));
    }
};

QTEST_MAIN(TestChartSettings)
#include "tst_chartsettings.moc"

#include "app/tracer.h"
#include "settings/chartsettings.h"

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

QString attr(const QDomElement &e, const char *name)
{
    return e.attribute(QLatin1String(name));
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

// The default option's value (a later default wins), as the dialog selects it.
QString defaultOption(const QDomElement &selectbox)
{
    QString value;
    for (QDomElement option = selectbox.firstChildElement(QStringLiteral("option")); !option.isNull();
         option = option.nextSiblingElement(QStringLiteral("option"))) {
        if (attr(option, "default") == QLatin1String("true"))
            value = attr(option, "value");
    }
    return value;
}

QRgb colorDefault(const QDomElement &colorbox)
{
    return attr(colorbox, "default").toUInt(nullptr, 0);
}

} // namespace

class TestChartSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { openStore()->clear(); }

    void storedValueReadsAsIsClampedOrDefault_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariant>("expected");

        const QString width = QStringLiteral("packet_arrow_width");
        const QString transmit = QStringLiteral("packet_transmit_arrow_style");
        const QString schema = QStringLiteral("node_swimlines_schema");
        const QString filling = QStringLiteral("event_bar_filling");
        const QString sync = QStringLiteral("syncmarker_color");
        const QString icons = QStringLiteral("show_syncmarker_icons");
        const QVariant syncDefault = rgb(0xFF0080);

        QTest::newRow("a width written as text, as it comes back from disk")
            << width << QVariant(QStringLiteral("2")) << QVariant(2);
        QTest::newRow("an arrow width of 9 is clamped to 3") << width << QVariant(9) << QVariant(3);
        QTest::newRow("an arrow width of 0 is clamped to 1") << width << QVariant(0) << QVariant(1);
        QTest::newRow("an arrow width beyond 32 bits is clamped to 3")
            << width << QVariant(QStringLiteral("99999999999")) << QVariant(3);
        QTest::newRow("a text where the arrow width belongs reads as 1")
            << width << QVariant(QStringLiteral("wide")) << QVariant(1);
        QTest::newRow("a fractional arrow width reads as 1") << width << QVariant(2.5) << QVariant(1);
        QTest::newRow("a list where the arrow width belongs reads as 1")
            << width << QVariant(QStringList{QStringLiteral("2"), QStringLiteral("3")}) << QVariant(1);
        QTest::newRow("transmit dotted")
            << transmit << QVariant(QStringLiteral("dotted")) << pen(Qt::DotLine);
        QTest::newRow("transmit dashed")
            << transmit << QVariant(QStringLiteral("dashed")) << pen(Qt::DashLine);
        QTest::newRow("transmit dash-dotted")
            << transmit << QVariant(QStringLiteral("dashdotted")) << pen(Qt::DashDotLine);
        QTest::newRow("a number where an arrow style belongs is solid")
            << transmit << QVariant(2) << pen(Qt::SolidLine);
        QTest::newRow("an arrow style in other case is solid")
            << QStringLiteral("packet_receive_arrow_style") << QVariant(QStringLiteral("Dotted"))
            << pen(Qt::SolidLine);
        QTest::newRow("a colour as the dialog stores it, with alpha 0xFF")
            << QStringLiteral("packet_transmit_arrow_color") << QVariant(0xFF123456u) << rgb(0x123456);
        QTest::newRow("a colour written as text, as it comes back from disk")
            << sync << QVariant(QStringLiteral("4278255360")) << rgb(0x00FF00);
        QTest::newRow("a colour of 0 is black")
            << QStringLiteral("usermarker_color") << QVariant(0u) << rgb(0x000000);
        QTest::newRow("a colour of -1 reads as the default") << sync << QVariant(-1) << syncDefault;
        QTest::newRow("a colour beyond 32 bits reads as the default")
            << sync << QVariant(Q_INT64_C(0x100FF0000)) << syncDefault;
        QTest::newRow("a colour name instead of a number reads as the default")
            << sync << QVariant(QStringLiteral("red")) << syncDefault;
        QTest::newRow("a point where a colour belongs reads as the default")
            << sync << QVariant(QPoint(3, 4)) << syncDefault;
        QTest::newRow("striped swimlines") << schema << QVariant(2) << QVariant(2);
        QTest::newRow("a swimline schema of 3 reads as 0") << schema << QVariant(3) << QVariant(0);
        QTest::newRow("a swimline schema of -1 reads as 0") << schema << QVariant(-1) << QVariant(0);
        QTest::newRow("a text where the swimline schema belongs reads as 0")
            << schema << QVariant(QStringLiteral("striped")) << QVariant(0);
        QTest::newRow("any non-zero bar filling means gradient") << filling << QVariant(7) << QVariant(true);
        QTest::newRow("a text where the bar filling belongs means flat")
            << filling << QVariant(QStringLiteral("gradient")) << QVariant(false);
        QTest::newRow("hidden sync marker icons")
            << icons << QVariant(QStringLiteral("hide")) << QVariant(false);
        QTest::newRow("an icon setting in other case hides the icons")
            << icons << QVariant(QStringLiteral("Show")) << QVariant(false);
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

    void layoutHasItsPagesAndAnEditorForEverySetting()
    {
        const Layout layout = compiledLayout();
        QCOMPARE(layout.primarySection, QStringLiteral("Files"));
        const QStringList pages{QStringLiteral("Files"), QStringLiteral("View"),
                                QStringLiteral("View/EventChart Look"),
                                QStringLiteral("View/EventChart Display")};
        QCOMPARE(layout.pages, pages);
        QCOMPARE(layout.editors.size(), 15);
        QStringList layoutIds;
        for (const LayoutEditor &editor : layout.editors) {
            QVERIFY2(editor.page != QLatin1String("View"), "the View page shows only its title");
            layoutIds.append(attr(editor.element, "id"));
        }
        for (const QString &id : ChartSettings::ids())
            QVERIFY2(layoutIds.contains(id), qPrintable(id));
    }

    void layoutEditorsAreTheDocumentedOnesInOrder_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("editor");

        const QString look = QStringLiteral("View/EventChart Look > ");
        const QString styles =
            QStringLiteral(" position=right [option:solid|solid|true, option:dotted|dotted|, "
                           "option:dashed|dashed|, option:dash-dotted|dashdotted|]");
        int i = 0;
        QTest::newRow("the recent nodes limit comes first")
            << i++
            << QStringLiteral("Files > Recent Nodes: spinbox id=recent_nodes_max_count "
                              "title=items shown in Recent Nodes menu minvalue=0 maxvalue=20");
        QTest::newRow("the recent projects limit shares its group")
            << i++
            << QStringLiteral("Files > Recent Nodes: spinbox id=recent_projects_max_count "
                              "title=items shown in Recent Projects menu minvalue=0 maxvalue=20");
        const QString swimlines = look + QStringLiteral("Color schema of node item swimlines: radio "
                                                        "id=node_swimlines_schema title=");
        QTest::newRow("colour swimlines are choice 0")
            << i++ << swimlines + QStringLiteral("Color swimlines value=0");
        QTest::newRow("monochrome swimlines are choice 1")
            << i++ << swimlines + QStringLiteral("Monochrome swimlines value=1");
        QTest::newRow("striped swimlines are choice 2")
            << i++ << swimlines + QStringLiteral("Striped swimlines value=2");
        const QString filling = look + QStringLiteral("Event bar filling: radio id=event_bar_filling title=");
        QTest::newRow("flat bars are choice 0") << i++ << filling + QStringLiteral("Flat value=0");
        QTest::newRow("gradient bars are choice 1") << i++ << filling + QStringLiteral("Gradient value=1");
        const QString arrows = look + QStringLiteral("Transmit/Receive Arrows: ");
        QTest::newRow("the arrow width runs from 1 to 3 right of its title")
            << i++
            << arrows +
                   QStringLiteral("spinbox id=packet_arrow_width title=Arrow width: minvalue=1 maxvalue=3 "
                                  "position=right");
        QTest::newRow("the transmit style offers four lines, solid by default")
            << i++
            << arrows +
                   QStringLiteral("selectbox id=packet_transmit_arrow_style title=Transmit arrow style:") +
                   styles;
        QTest::newRow("the receive style offers the same lines")
            << i++
            << arrows + QStringLiteral("selectbox id=packet_receive_arrow_style title=Receive arrow style:") +
                   styles;
        const QString colors = look + QStringLiteral("Colors: colorbox id=");
        QTest::newRow("the sync marker colour")
            << i++
            << colors + QStringLiteral(
                            "syncmarker_color title=syncMarker color: position=right default=0x00FF0080");
        QTest::newRow("the user marker colour")
            << i++
            << colors + QStringLiteral(
                            "usermarker_color title=userMarker color: position=right default=0x00FF8000");
        QTest::newRow("the transmit arrow colour")
            << i++
            << colors +
                   QStringLiteral("packet_transmit_arrow_color title=Transmit arrow color: position=right "
                                  "default=0x00008000");
        QTest::newRow("the receive arrow colour")
            << i++
            << colors + QStringLiteral("packet_receive_arrow_color title=Receive arrow color: position=right "
                                       "default=0x00000080");
        QTest::newRow("the sync marker icons are shown by default")
            << i++
            << QStringLiteral(
                   "View/EventChart Display > Sync Markers: selectbox id=show_syncmarker_icons "
                   "title=syncMarker icons position=right [option:show|show|true, option:hide|hide|]");
    }

    void layoutEditorsAreTheDocumentedOnesInOrder()
    {
        QFETCH(int, index);
        QFETCH(QString, editor);

        const Layout layout = compiledLayout();
        QVERIFY(index < layout.editors.size());
        QCOMPARE(describe(layout.editors.at(index)), editor);
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
                if (settings->value(key, 0u).toUInt() != QColor(colorDefault(e)).rgb())
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

    void defaultIsWhatTheDialogFirstShows_data()
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
                shown = QColor(colorDefault(e)).rgb();
            }
            QTest::addRow("%s, absent or stored as first shown", qPrintable(id)) << id << shown;
        }
    }

    // Every other chart key holds a value off its default, so a key read
    // under the wrong name shows.
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
        QCOMPARE(fieldOf(absent, id), fieldOf(ChartSettings(), id));
        for (auto it = others.cbegin(); it != others.cend(); ++it) {
            if (it.key() != id)
                QVERIFY2(fieldOf(absent, it.key()) != fieldOf(ChartSettings(), it.key()),
                         qPrintable(it.key()));
        }
        store(id, shown);
        QCOMPARE(fieldOf(ChartSettings::read(), id), fieldOf(ChartSettings(), id));
    }
};

QTEST_MAIN(TestChartSettings)
#include "tst_chartsettings.moc"

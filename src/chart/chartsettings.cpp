#include "chart/chartsettings.h"

#include "chart/settingsstore.h"

#include <QSettings>
#include <QVariant>

#include <optional>

namespace {

// The number a stored value holds, or none when it holds no whole decimal
// number. The store hands back text once the value has been to disk and the
// type it was written with before that, so the value is read through its
// text: 2.5 or true are no numbers, whether they come from memory or disk.
std::optional<qint64> storedNumber(const QVariant &value)
{
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const qint64 number = value.toString().toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return number;
}

Qt::PenStyle penStyle(const QVariant &value)
{
    const QString text = value.toString();
    if (text == QLatin1String("dotted"))
        return Qt::DotLine;
    if (text == QLatin1String("dashed"))
        return Qt::DashLine;
    if (text == QLatin1String("dashdotted"))
        return Qt::DashDotLine;
    return Qt::SolidLine;
}

// Colours are stored as QColor::rgb(), 0xAARRGGBB; the alpha byte is dropped
// by QColor(QRgb). A number that is no 32-bit value (a negative one) is no colour.
QColor storedColor(const QVariant &value, const QColor &fallback)
{
    const std::optional<qint64> number = storedNumber(value);
    if (!number || *number < 0 || *number > qint64(0xFFFFFFFFu))
        return fallback;
    return QColor(QRgb(*number));
}

const ChartSettings &defaults()
{
    static const ChartSettings values;
    return values;
}

struct ChartSetting
{
    const char *id;
    void (*apply)(ChartSettings &settings, const QVariant &stored); // stored is invalid when absent
};

// The only place that names the chart's keys.
const ChartSetting chartSettings[] = {
    {"packet_arrow_width",
     [](ChartSettings &s, const QVariant &v) {
         // The dialog offers 1 to 3 px, so a hand-edited value is held to that range.
         const std::optional<qint64> width = storedNumber(v);
         s.arrowWidth = width ? int(qBound(qint64(1), *width, qint64(3))) : defaults().arrowWidth;
     }},
    {"packet_transmit_arrow_style",
     [](ChartSettings &s, const QVariant &v) { s.transmitStyle = penStyle(v); }},
    {"packet_receive_arrow_style", [](ChartSettings &s, const QVariant &v) { s.receiveStyle = penStyle(v); }},
    {"packet_transmit_arrow_color",
     [](ChartSettings &s, const QVariant &v) { s.transmitColor = storedColor(v, defaults().transmitColor); }},
    {"packet_receive_arrow_color",
     [](ChartSettings &s, const QVariant &v) { s.receiveColor = storedColor(v, defaults().receiveColor); }},
    {"syncmarker_color",
     [](ChartSettings &s, const QVariant &v) {
         s.syncMarkerColor = storedColor(v, defaults().syncMarkerColor);
     }},
    {"usermarker_color",
     [](ChartSettings &s, const QVariant &v) {
         s.userMarkerColor = storedColor(v, defaults().userMarkerColor);
     }},
    {"node_swimlines_schema",
     [](ChartSettings &s, const QVariant &v) {
         // Painting knows three schemas; an unknown one paints as the first.
         const std::optional<qint64> schema = storedNumber(v);
         s.swimlineSchema = schema && *schema >= 0 && *schema <= 2 ? int(*schema) : defaults().swimlineSchema;
     }},
    {"event_bar_filling",
     [](ChartSettings &s, const QVariant &v) { s.gradientBars = storedNumber(v).value_or(0) != 0; }},
    {"show_syncmarker_icons",
     [](ChartSettings &s, const QVariant &v) {
         s.showSyncMarkerIcons = !v.isValid() || v.toString() == QLatin1String("show");
     }},
    {"show_time_ruler",
     [](ChartSettings &s, const QVariant &v) { s.showRuler = v.toString() != QLatin1String("hide"); }},
    {"show_overview",
     [](ChartSettings &s, const QVariant &v) { s.showOverview = v.toString() != QLatin1String("hide"); }},
    {"cursor_snap_distance",
     [](ChartSettings &s, const QVariant &v) {
         const std::optional<qint64> distance = storedNumber(v);
         s.cursorSnapDistance =
             distance ? int(qBound(qint64(0), *distance, qint64(50))) : defaults().cursorSnapDistance;
     }},
};

const ChartSetting *findSetting(const QString &id)
{
    for (const ChartSetting &setting : chartSettings) {
        if (id == QLatin1String(setting.id))
            return &setting;
    }
    return nullptr;
}

void applyStored(ChartSettings &settings, const QSettings &store, const ChartSetting &setting)
{
    setting.apply(settings, store.value(ChartSettings::keyFor(QLatin1String(setting.id))));
}

} // namespace

ChartSettings ChartSettings::read()
{
    ChartSettings settings;
    settings.reread(QString());
    return settings;
}

bool ChartSettings::reread(const QString &id)
{
    if (id.isEmpty()) {
        const QSettings store = openSettingsStore();
        for (const ChartSetting &setting : chartSettings)
            applyStored(*this, store, setting);
        return true;
    }
    const ChartSetting *setting = findSetting(id);
    if (!setting)
        return false;
    const QSettings store = openSettingsStore();
    applyStored(*this, store, *setting);
    return true;
}

QStringList ChartSettings::ids()
{
    QStringList result;
    for (const ChartSetting &setting : chartSettings)
        result.append(QLatin1String(setting.id));
    return result;
}

QString ChartSettings::keyFor(const QString &id)
{
    return QStringLiteral("settings/") + id;
}

bool ChartSettings::operator==(const ChartSettings &other) const
{
    return swimlineSchema == other.swimlineSchema && gradientBars == other.gradientBars &&
           arrowWidth == other.arrowWidth && transmitStyle == other.transmitStyle &&
           receiveStyle == other.receiveStyle && transmitColor == other.transmitColor &&
           receiveColor == other.receiveColor && syncMarkerColor == other.syncMarkerColor &&
           userMarkerColor == other.userMarkerColor && showSyncMarkerIcons == other.showSyncMarkerIcons &&
           showRuler == other.showRuler && showOverview == other.showOverview &&
           cursorSnapDistance == other.cursorSnapDistance;
}

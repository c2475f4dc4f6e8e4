#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

// What the event chart takes from the settings store. A default-constructed
// value holds what an empty store reads as, so a first start looks the same
// as a store whose chart keys were removed.
//
// Whatever the store holds never breaks the chart: a value of the wrong type,
// or one no number can be read from, reads as the default; numbers outside
// what the chart can draw are clamped (arrow width) or fall back (swimline
// schema, colours that are no 32-bit RGB value).
struct ChartSettings
{
    int swimlineSchema = 0; // 0 colour, 1 monochrome, 2 striped swimlines
    bool gradientBars = false;
    int arrowWidth = 1; // pixels, 1 to 3
    Qt::PenStyle transmitStyle = Qt::SolidLine;
    Qt::PenStyle receiveStyle = Qt::SolidLine;
    QColor transmitColor = QColor(QRgb(0x008000));
    QColor receiveColor = QColor(QRgb(0x000080));
    QColor syncMarkerColor = QColor(QRgb(0xFF0080));
    QColor userMarkerColor = QColor(QRgb(0xFF8000));
    bool showSyncMarkerIcons = true;
    // Navigation aids around the rows; they never change how the rows look.
    bool showRuler = true;
    bool showOverview = true;
    int cursorSnapDistance = 5; // pixels, 0 (no snapping) to 50

    // Every chart setting, read from a store opened for this call.
    static ChartSettings read();

    // Re-reads the setting with this bare id ("syncmarker_color", as the change
    // notification carries it), or every chart setting for the empty id.
    // False, with nothing changed, for an id the chart does not use: the chart
    // then needs no relayout.
    bool reread(const QString &id);

    // The ids of every chart setting.
    static QStringList ids();
    // The store key of a setting id: "settings/" followed by the id.
    static QString keyFor(const QString &id);

    bool operator==(const ChartSettings &other) const;
    bool operator!=(const ChartSettings &other) const { return !(*this == other); }
};

#pragma once

#include "chart/chartsettings.h"
#include "chart/chartstyle.h"
#include "chart/deferredpixels.h"
#include "chart/drawop.h"
#include "chart/levelofdetail.h"
#include "chart/nodeviewstate.h"

#include <QColor>
#include <QHash>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

class EventCatalogue;
class QPainter;
class TimeScale;
class ViewItem;
class ViewRoot;
struct PaintPass;

// Paints an event chart: the rows of a view tree, event bars, task-switch
// connectors, markers, hub and packet arrows, the overlays of the list's range
// and of the selection, and the external header. Knows nothing of widgets, so
// the chart widget and kestrel-cli render through the same code.
class ChartRenderer
{
public:
    // Everything a paint depends on besides the rows and the settings.
    struct Frame
    {
        const TimeScale *scale = nullptr;
        int horizontalScroll = 0; // pixels
        int verticalScroll = 0;   // pixels
        QSize viewport;           // the drawing surface
        bool externalHeader = true;
        QString title; // shown in the header's root row
        QColor background = Qt::white;
        const EventCatalogue *catalogue = nullptr; // the sync markers' icons; none without
    };

    ChartRenderer();
    ~ChartRenderer();

    const ChartSettings &settings() const { return m_settings; }
    void setSettings(const ChartSettings &settings);
    // Grows with every change of the settings or of the level of detail:
    // whatever keeps a picture of this renderer's compares it.
    quint64 generation() const { return m_generation; }

    // With level of detail on, a task row visits only its own task's events
    // and draws of the primitives that land on one pixel column only those
    // that stay visible. The picture is the same pixel for pixel either way;
    // a painter that blends (below full opacity, or in a mode other than
    // source-over) gets every primitive.
    bool levelOfDetail() const { return m_levelOfDetail; }
    void setLevelOfDetail(bool on);

    // Paints the part `clip` (viewport coordinates) of the chart of `root`.
    // Stores every item's rectangle and each painted node's chartFirst and
    // chartEnd in `states` (records are created when missing).
    void paint(QPainter &painter, ViewRoot &root, NodeViewStates &states, const QRect &clip,
               const Frame &frame);
    // Paints `area` (viewport coordinates) as a paint of the whole viewport
    // does, except that each task row draws again those of the primitives the
    // last paint drew for it that may reach the area, instead of collecting
    // them from the events: a small part of the cost, for a repaint where only
    // what lies under and over the events changed (the selection, the event
    // list's range, the current node). The painter is clipped to `area`. The
    // caller vouches that the rows, the settings and `frame` are those of that
    // paint. False, with nothing painted, unless that paint covered the whole
    // viewport with level of detail on and so kept its primitives.
    bool repaintKept(QPainter &painter, ViewRoot &root, NodeViewStates &states, const Frame &frame,
                     const QRect &area);
    // Where the hatching before and after the event list's range and the
    // selection of each node lie, three rectangles a node in the order of the
    // root's nodes (viewport coordinates, outlines included, null for none),
    // at the rows of the last paint.
    std::vector<QRect> overlayRects(ViewRoot &root, NodeViewStates &states, const Frame &frame);

private:
    // The rows of `item` and below it, in the first pass their ground, in the
    // second their events and overlays.
    void paintItem(ViewItem &item, QPainter &painter, int pass, PaintPass &state);
    void paintTaskEvents(const ViewItem &item, QPainter &painter, const QRect &visible, PaintPass &state);
    // With level of detail, the primitives of every node's task rows, before
    // the first is drawn.
    void collectDetail(const ViewRoot &root, const PaintPass &state);
    void paintKeptEvents(const ViewItem &item, QPainter &painter, PaintPass &state);
    // The columns, first and last, a kept primitive may draw into (the rows' coordinates).
    std::pair<qint64, qint64> reachOf(const DrawOp &op, PaintPass &state) const;
    // Both passes and the header over `clip` (viewport coordinates).
    void paintPasses(QPainter &painter, ViewRoot &root, const QRect &clip, PaintPass &pass);
    // Every event of the range visited for every row, every primitive drawn:
    // the reference the level of detail keeps to.
    void paintLiteral(const ViewItem &item, QPainter &painter, PaintPass &state) const;

    ChartSettings m_settings;
    bool m_levelOfDetail = true;
    quint64 m_generation = 0;
    // The primitives the last paint drew for each task row; only while
    // m_keptWhole says that paint covered the viewport with level of detail.
    struct KeptRow
    {
        // What the level of detail collected for the row: it stays until the
        // next paint collects anew, which also forgets this record.
        const std::vector<DrawOp> *ops = nullptr;
        // Per block of keptBlock primitives, the columns they may draw into,
        // found on the first replay: a replay skips the blocks that miss it.
        std::vector<std::pair<qint64, qint64>> blockReach;
    };
    static constexpr size_t keptBlock = 32;
    QHash<const ViewItem *, KeptRow> m_kept;
    // And the event range it recorded for each node: chartFirst, chartEnd.
    QHash<QString, std::pair<int, int>> m_keptRanges;
    bool m_keptWhole = false;
    bool m_replaying = false;
    // While replaying: the first and the last column painted, in the rows' coordinates.
    int m_replayLeft = 0;
    int m_replayRight = 0;
    ChartStyle m_style;
    LevelOfDetail m_detail;
    // Kept between paints for its storage.
    DeferredPixels m_deferred;
};

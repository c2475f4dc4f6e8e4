#pragma once

#include "chart/chartsettings.h"
#include "chart/chartstyle.h"
#include "chart/levelofdetail.h"
#include "chart/nodeviewstate.h"

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>

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

    // With level of detail on, a task row visits only its own task's events
    // and draws of the primitives that land on one pixel column only those
    // that stay visible. The picture is the same pixel for pixel either way;
    // a painter that blends (below full opacity, or in a mode other than
    // source-over) gets every primitive.
    bool levelOfDetail() const { return m_levelOfDetail; }
    void setLevelOfDetail(bool on) { m_levelOfDetail = on; }

    // Paints the part `clip` (viewport coordinates) of the chart of `root`.
    // Stores every item's rectangle and each painted node's chartFirst and
    // chartEnd in `states` (records are created when missing).
    void paint(QPainter &painter, ViewRoot &root, NodeViewStates &states, const QRect &clip,
               const Frame &frame);

private:
    // The rows of `item` and below it, in the first pass their ground, in the
    // second their events and overlays.
    void paintItem(ViewItem &item, QPainter &painter, int pass, PaintPass &state);
    void paintTaskEvents(const ViewItem &item, QPainter &painter, const QRect &visible, PaintPass &state);
    // Every event of the range visited for every row, every primitive drawn:
    // the reference the level of detail keeps to.
    void paintLiteral(const ViewItem &item, QPainter &painter, PaintPass &state) const;

    ChartSettings m_settings;
    bool m_levelOfDetail = true;
    ChartStyle m_style;
    LevelOfDetail m_detail;
};

#pragma once

#include "chart/chartsettings.h"
#include "chart/nodeviewstate.h"

#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QRect>
#include <QSize>

#include <vector>

class ChartMapper;
class EventCatalogue;
class QPainter;
class TimeScale;
class ViewItem;
class ViewNode;
class ViewRoot;
struct TraceEvent;

// Paints an event chart: the rows of a view tree, event bars, task-switch
// connectors, markers, hub and packet arrows, the overlays of the list's range
// and of the selection, and the external header. Knows nothing of widgets, so
// the chart widget and kestrel-cli render through the same code.
class ChartRenderer
{
public:
    static constexpr int rowHeight = 18;    // pixels per chart row
    static constexpr int headerWidth = 200; // pixels of the external header column

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

    // The overlay over a node's rows from the start of event a to the end of
    // event b (either order), below the node's own row. Indexes out of the
    // node's range give an empty rectangle.
    QRect selectionRect(int a, int b, const ViewNode &node, const QRect &nodeRect,
                        const ChartMapper &mapper) const;

    const QFont &nodeFont() const { return m_nodeFont; }
    const QFont &trainFont() const { return m_trainFont; }
    const QFont &rowFont() const { return m_rowFont; }

private:
    struct Pass;
    struct RowOps;
    class OpPainter;

    void paintItem(ViewItem *item, QPainter &painter, const QRect &clip, int pass, Pass &state);
    void paintRoot(QPainter &painter, const QRect &visible, int pass) const;
    void paintNodeRow(ViewNode *node, QPainter &painter, const QRect &visible, int pass, Pass &state);
    void paintTrainRow(ViewItem *train, QPainter &painter, const QRect &visible, int pass, Pass &state);
    void paintLeafRow(ViewItem *item, QPainter &painter, const QRect &clip, const QRect &visible, int pass,
                      Pass &state);
    void paintTaskEvents(ViewItem *item, QPainter &painter, const QRect &visible, Pass &state);
    void collectNodeOps(const ViewNode &node, int first, int end, Pass &state);
    static void dropCoveredAcrossRows(std::vector<RowOps> &rows);
    // The primitives of event i in its task's row, handed to sink(column, op) in drawing order.
    template<typename Emit> void eventOps(int i, const ViewNode &node, RowOps &row, Pass &state, Emit &&sink);
    template<typename Emit>
    void packetArrowOps(const TraceEvent &event, const ViewNode &node, Pass &state, Emit &&sink);
    void paintHeader(ViewItem *item, QPainter &painter, Pass &state) const;
    const QPixmap &markerIcon(int type);

    ChartSettings m_settings;
    bool m_levelOfDetail = true;
    QFont m_nodeFont;
    QFont m_trainFont;
    QFont m_rowFont;
    QPixmap m_startCorner;
    QPixmap m_finishCorner;
    QPixmap m_userMarkerIcon;
    const EventCatalogue *m_catalogue = nullptr; // where m_markerIcons come from
    QHash<int, QPixmap> m_markerIcons;           // sync event icons by type, made opaque (see markerIcon)
    std::vector<RowOps> m_rowStorage; // the rows' primitives, kept between paints for their storage
};

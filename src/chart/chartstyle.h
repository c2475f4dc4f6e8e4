#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QLinearGradient>
#include <QPixmap>

#include "chart/arrowstamps.h"
#include "chart/opaqueicon.h"

#include <array>

class EventCatalogue;
class ViewItem;

// The chart's fonts, icons and colours that no setting changes, made once
// per renderer.
class ChartStyle
{
public:
    ChartStyle();

    const QFont &nodeFont() const { return m_nodeFont; }
    const QFont &trainFont() const { return m_trainFont; }
    const QFont &rowFont() const { return m_rowFont; }
    // The marks at the ends of a row's extent.
    const QPixmap &startCorner() const { return m_startCorner; }
    const QPixmap &finishCorner() const { return m_finishCorner; }
    const QPixmap &userMarkerIcon() const { return m_userMarkerIcon; }
    // The icons of the header's cells, loaded once: a paint draws one per cell.
    enum HeaderIcon { NodeAreaIcon, NodeIcon, TasksIcon, HubsIcon, TaskIcon, HubIcon, HeaderIconCount };
    const QPixmap &headerIcon(HeaderIcon icon) const { return m_headerIcons[size_t(icon)]; }
    // The icon `catalogue` gives the sync event type, made opaque (see
    // chartstyle.cpp); a null pixmap without catalogue or icon.
    const QPixmap &markerIcon(int type, const EventCatalogue *catalogue);
    // An icon of userMarkerIcon() or markerIcon() as its pixels; null for
    // other pixmaps, and for icons over 64 rows high.
    const OpaqueIcon *opaqueIcon(const QPixmap &icon) const;
    // The packet arrows' shapes met so far.
    ArrowStamps &arrowStamps() { return m_arrowStamps; }

    // The fill of a node's row and header cell from y0 to y1: blue for the
    // current node, gray for the others.
    static QLinearGradient nodeGradient(int y0, int y1, bool current);
    // The own colour of the task or hub a row stands for.
    static QColor itemColour(const ViewItem *item);

private:
    // Loads an icon made opaque, noting its opaque columns.
    QPixmap loadOpaque(const QString &path);

    QFont m_nodeFont;
    QFont m_trainFont;
    QFont m_rowFont;
    QPixmap m_startCorner;
    QPixmap m_finishCorner;
    QPixmap m_userMarkerIcon;
    std::array<QPixmap, HeaderIconCount> m_headerIcons;
    const EventCatalogue *m_catalogue = nullptr; // where m_markerIcons come from
    QHash<int, QPixmap> m_markerIcons;           // by event type
    QHash<qint64, OpaqueIcon> m_opaqueIcons;     // by the icon's cache key
    ArrowStamps m_arrowStamps;
};

#include "chart/chartstyle.h"

#include "chart/viewitem.h"
#include "trace/eventcatalogue.h"
#include "trace/hub.h"
#include "trace/task.h"

#include <QImage>

ChartStyle::ChartStyle()
    : m_nodeFont(QStringLiteral("Helvetica"), 10, QFont::Bold)
    , m_trainFont(QStringLiteral("Helvetica"), 10, QFont::Bold, true)
    , m_rowFont(QStringLiteral("Helvetica"), 10)
    , m_startCorner(QStringLiteral(":/interface/resources/start_corner.png"))
    , m_finishCorner(QStringLiteral(":/interface/resources/finish_corner.png"))
    , m_headerIcons{QPixmap(QStringLiteral(":/interface/resources/node_area_16.png")),
                    QPixmap(QStringLiteral(":/interface/resources/node_16.png")),
                    QPixmap(QStringLiteral(":/interface/resources/tasks_16.png")),
                    QPixmap(QStringLiteral(":/interface/resources/hubs_16.png")),
                    QPixmap(QStringLiteral(":/interface/resources/task_16.png")),
                    QPixmap(QStringLiteral(":/interface/resources/hub_16.png"))}
{
    m_userMarkerIcon = loadOpaque(QStringLiteral(":/sysevents/resources/user_marker.png"));
}

// Icons drawn many times on one spot (markers of events closer than a pixel)
// must look the same drawn once or a hundred times: partly transparent edge
// pixels would darken with every draw. Their alpha is made all or nothing.
QPixmap ChartStyle::loadOpaque(const QString &path)
{
    QImage image(path);
    if (image.isNull())
        return QPixmap();
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qAlpha(line[x]) >= 128 ? (line[x] | 0xff000000u) : 0u;
    }
    const QPixmap icon = QPixmap::fromImage(image);
    if (image.height() <= 64 && icon.devicePixelRatio() == 1.0)
        m_opaqueIcons.insert(icon.cacheKey(), OpaqueIcon(image));
    return icon;
}

const OpaqueIcon *ChartStyle::opaqueIcon(const QPixmap &icon) const
{
    const auto found = m_opaqueIcons.constFind(icon.cacheKey());
    return found == m_opaqueIcons.cend() ? nullptr : &*found;
}

const QPixmap &ChartStyle::markerIcon(int type, const EventCatalogue *catalogue)
{
    if (catalogue != m_catalogue) {
        m_catalogue = catalogue;
        for (const QPixmap &icon : std::as_const(m_markerIcons))
            m_opaqueIcons.remove(icon.cacheKey());
        m_markerIcons.clear();
    }
    auto found = m_markerIcons.find(type);
    if (found == m_markerIcons.end()) {
        const QString path = catalogue ? catalogue->sysEvent(type).iconPath : QString();
        found = m_markerIcons.insert(type, path.isEmpty() ? QPixmap() : loadOpaque(path));
    }
    return *found;
}

QLinearGradient ChartStyle::nodeGradient(int y0, int y1, bool current)
{
    static const QRgb currentStops[5] = {0xa0a0ff, 0xf0f0ff, 0x9999ff, 0x9999ff, 0x202080};
    static const QRgb otherStops[5] = {0x808080, 0xf0f0f0, 0x707070, 0x808080, 0x202020};
    static const qreal at[5] = {0.0, 0.1, 0.25, 0.75, 1.0};
    QLinearGradient gradient(0, y0, 0, y1);
    for (int k = 0; k < 5; ++k)
        gradient.setColorAt(at[k], QColor(current ? currentStops[k] : otherStops[k]));
    return gradient;
}

QColor ChartStyle::itemColour(const ViewItem *item)
{
    if (item->kind() == ViewItem::TASK_ITEM) {
        const Task *task = static_cast<const ViewTask *>(item)->task();
        return task ? task->colour() : QColor(Qt::white);
    }
    const Hub *hub = static_cast<const ViewHub *>(item)->hub();
    return hub ? hub->colour() : QColor(Qt::white);
}

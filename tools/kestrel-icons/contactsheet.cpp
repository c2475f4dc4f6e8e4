#include "contactsheet.h"

#include <QFont>
#include <QPainter>

namespace {

const int Columns = 6;
const int Zoom = 4;
const int CellWidth = 224;
const int CellHeight = 32 * Zoom + 40;
const int Margin = 12;
const int HeadingHeight = 28;

// Transparent pixels show as a light checkerboard so that stray half-transparent edges stand out.
void checkerboard(QPainter &painter, const QRect &area)
{
    const int square = Zoom * 2;
    for (int y = area.top(); y <= area.bottom(); y += square)
        for (int x = area.left(); x <= area.right(); x += square) {
            const bool dark = ((x - area.left()) / square + (y - area.top()) / square) % 2;
            painter.fillRect(QRect(x, y, square, square).intersected(area),
                             dark ? QColor(0xe4, 0xe4, 0xe4) : QColor(0xf8, 0xf8, 0xf8));
        }
}

void drawCell(QPainter &painter, const QPoint &origin, const IconSpec &spec)
{
    const QImage icon = renderIcon(spec);
    // At its own size on a light and on a dark ground, as in a tree and in a dark toolbar.
    painter.fillRect(QRect(origin, QSize(36, 36)), Qt::white);
    painter.drawImage(origin + QPoint(2, 2), icon);
    painter.fillRect(QRect(origin + QPoint(0, 38), QSize(36, 36)), QColor(0x40, 0x44, 0x4a));
    painter.drawImage(origin + QPoint(2, 40), icon);

    const QRect zoomed(origin + QPoint(44, 0), QSize(spec.size * Zoom, spec.size * Zoom));
    checkerboard(painter, zoomed);
    painter.drawImage(zoomed, icon.scaled(zoomed.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));

    painter.setPen(Qt::black);
    painter.drawText(QRect(origin.x(), origin.y() + 32 * Zoom + 4, CellWidth - 4, 18),
                     Qt::AlignLeft | Qt::AlignVCenter, spec.name + QStringLiteral(".png"));
}

} // namespace

QImage contactSheet(const QList<IconSpec> &icons)
{
    // Lay out one section per folder, each starting on a new row.
    QList<QPair<QString, QList<IconSpec>>> sections;
    for (const IconSpec &spec : icons) {
        if (sections.isEmpty() || sections.last().first != spec.folder)
            sections.append({spec.folder, {}});
        sections.last().second.append(spec);
    }
    int height = Margin;
    for (const auto &section : sections)
        height += HeadingHeight + ((section.second.size() + Columns - 1) / Columns) * CellHeight;

    QImage sheet(2 * Margin + Columns * CellWidth, height + Margin, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    QFont heading = font;
    heading.setBold(true);
    heading.setPixelSize(16);

    int y = Margin;
    for (const auto &[folder, specs] : sections) {
        painter.setFont(heading);
        painter.setPen(Qt::black);
        painter.drawText(QRect(Margin, y, Columns * CellWidth, HeadingHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("resources/") + folder);
        painter.setFont(font);
        y += HeadingHeight;
        for (int i = 0; i < specs.size(); ++i)
            drawCell(painter, QPoint(Margin + (i % Columns) * CellWidth, y + (i / Columns) * CellHeight),
                     specs[i]);
        y += ((specs.size() + Columns - 1) / Columns) * CellHeight;
    }
    return sheet;
}

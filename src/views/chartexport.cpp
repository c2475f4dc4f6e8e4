#include "views/chartexport.h"

#include "chart/chartrenderer.h"
#include "views/chartmarks.h"
#include "views/chartoverview.h"
#include "views/chartruler.h"
#include "views/eventchart.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QSvgGenerator>

namespace {

const QString pngFilter = QStringLiteral("PNG image (*.png)");
const QString svgFilter = QStringLiteral("SVG image (*.svg)");

bool isSvg(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0;
}

void paintRows(EventChart &chart, QPainter &painter, bool levelOfDetail)
{
    // A renderer of its own: the chart's keeps its level of detail, and
    // the view states the paint records are a copy, so exporting changes
    // nothing the widget remembers.
    ChartRenderer renderer;
    renderer.setSettings(chart.renderer().settings());
    renderer.setLevelOfDetail(levelOfDetail);
    NodeViewStates states = *chart.viewStates();
    const ChartRenderer::Frame frame = chart.frame();
    renderer.paint(painter, *chart.root(), states, QRect(QPoint(0, 0), frame.viewport), frame);
    if (const ChartMarks *marks = chart.marks())
        marks->paintLines(painter);
}

void paintStrips(EventChart &chart, QPainter &painter)
{
    const int top = chart.topMargin() - chart.viewport()->y();
    if (chart.isRulerVisible()) {
        painter.save();
        painter.translate(0, chart.ruler()->y() + top);
        chart.ruler()->paintStrip(painter);
        painter.restore();
    }
    if (chart.isOverviewVisible()) {
        painter.save();
        painter.translate(0, chart.overview()->y() + top);
        chart.overview()->paintStrip(painter);
        painter.restore();
    }
}

bool writeSvg(EventChart &chart, const QString &path)
{
    const QSize size = ChartExport::pictureSize(chart);
    QSvgGenerator generator;
    generator.setFileName(path);
    // A size would be written in millimetres, which readers turn back
    // into pixels at differing resolutions: the view box alone is exact.
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(chart.title());
    QPainter painter;
    if (!painter.begin(&generator))
        return false;
    // The fast path writes pixels into an image, which a vector device has none of.
    ChartExport::paint(chart, painter, false);
    return painter.end();
}

} // namespace

QSize ChartExport::pictureSize(const EventChart &chart)
{
    const QSize rows = chart.viewport()->size();
    return {rows.width(), rows.height() + chart.topMargin()};
}

void ChartExport::paint(EventChart &chart, QPainter &painter, bool levelOfDetail)
{
    if (!chart.root() || !chart.viewStates())
        return;
    // The rows first: what they draw above their top is covered by the strips.
    painter.save();
    painter.translate(0, chart.topMargin());
    paintRows(chart, painter, levelOfDetail);
    painter.restore();
    paintStrips(chart, painter);
}

QImage ChartExport::image(EventChart &chart)
{
    const qreal ratio = chart.devicePixelRatioF();
    QImage image((QSizeF(pictureSize(chart)) * ratio).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    if (!chart.root() || !chart.viewStates())
        return image;
    // The rows go through an image of their own at the origin, as the
    // chart paints them: gradients are laid out on the device's pixels.
    QImage rows((QSizeF(chart.viewport()->size()) * ratio).toSize(), QImage::Format_RGB32);
    rows.setDevicePixelRatio(ratio);
    {
        QPainter painter(&rows);
        paintRows(chart, painter, true);
    }
    QPainter painter(&image);
    painter.drawImage(QPoint(0, chart.topMargin()), rows);
    paintStrips(chart, painter);
    return image;
}

bool ChartExport::write(EventChart &chart, const QString &path)
{
    return isSvg(path) ? writeSvg(chart, path) : image(chart).save(path, "PNG");
}

void ChartExport::exportWithDialog(EventChart &chart, QWidget *parent)
{
    QString filter = pngFilter;
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Export Chart Image"), QString(),
                                                pngFilter + QStringLiteral(";;") + svgFilter, &filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter == svgFilter ? QStringLiteral(".svg") : QStringLiteral(".png");
    if (!write(chart, path))
        QMessageBox::warning(parent, QStringLiteral("Export Chart Image"),
                             QStringLiteral("Could not write %1.").arg(QDir::toNativeSeparators(path)));
}

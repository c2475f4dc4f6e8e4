#include "settings/colorbox.h"

#include <QColorDialog>
#include <QPainter>

ColorBox::ColorBox(const QColor &color, QWidget *parent)
    : QLabel(parent)
    , m_color(color)
    , m_chooser([](const QColor &initial, QWidget *dialogParent, const QString &title) {
        return QColorDialog::getColor(initial, dialogParent, title, QColorDialog::ColorDialogOptions());
    })
{
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Sunken);
    setLineWidth(1);
    // The blanks are never drawn; they only give the box its minimum size.
    setText(QStringLiteral("         "));
}

void ColorBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(painter.viewport(), QBrush(m_color, Qt::SolidPattern));
}

void ColorBox::mousePressEvent(QMouseEvent *)
{
    const QColor chosen = m_chooser(m_color, parentWidget(), QStringLiteral("Color Selection"));
    // A cancelled dialog answers with an invalid colour, which would be stored
    // as black: the box keeps what it had instead.
    if (!chosen.isValid())
        return;
    // What Apply stores is the opaque rgb(), so that is what the box shows.
    m_color = QColor(chosen.rgb());
    update();
}

#pragma once

#include <QColor>
#include <QLabel>

#include <functional>

// A colour swatch that lets the user pick another colour with the standard
// colour dialog when any mouse button goes down on it.
class ColorBox : public QLabel
{
    Q_OBJECT
public:
    // Asks the user for a colour, starting at `initial`, in a dialog over
    // `parent` titled `title`; an invalid colour means the user cancelled.
    using ColorChooser = std::function<QColor(const QColor &initial, QWidget *parent, const QString &title)>;

    explicit ColorBox(const QColor &color, QWidget *parent = nullptr);

    QColor color() const { return m_color; }

    // Replaces the colour dialog, e.g. where nobody can answer a modal dialog.
    void setColorChooser(ColorChooser chooser) { m_chooser = std::move(chooser); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QColor m_color;
    ColorChooser m_chooser;
};

#pragma once

#include "iconpainter.h"

#include <QImage>
#include <QList>
#include <QString>

// One icon of the set: where it goes, how big it is and who paints it.
struct IconSpec
{
    QString folder; // resources/<folder>/
    QString name;   // file name without ".png"
    int size;       // width and height in pixels
    void (*paint)(const IconPainter &ip);
};

// Every icon the program loads, in the order of the contact sheet.
const QList<IconSpec> &iconTable();

// The one stroke weight of each icon size, in pixels.
int strokeForSize(int size);

// The icon at `factor` times its size in pixels: the drawing of spec.size is
// enlarged by a whole factor, so its strokes stay on the pixel grid.
QImage renderIcon(const IconSpec &spec, int factor = 1);

// The program's own icon, which desktops also show larger than the program does.
const IconSpec &applicationIcon();

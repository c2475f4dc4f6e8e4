#pragma once

#include "icons.h"

#include <QImage>

// One review image: every icon at its own size and magnified four times, with its file name.
QImage contactSheet(const QList<IconSpec> &icons);

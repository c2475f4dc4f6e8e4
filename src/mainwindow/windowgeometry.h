#pragma once

class QWidget;

// The main window's place on the screen between runs, kept in the settings
// store under "application/main_window/": width, height, left and top in
// pixels, written as decimal text, and whether it was maximized.

// Places `window` where the store says; 500 x 400 at (0, 0) when it says nothing.
void restoreWindowGeometry(QWidget *window);
// A maximized window writes only its flag and so keeps its last normal geometry.
void storeWindowGeometry(const QWidget &window);

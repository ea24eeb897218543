#pragma once

#include <QFont>
#include <QString>

class QWidget;

// The windows' layouts are given in Arial; Liberation Sans has the same
// metrics. Sizes are in pixels so the fixed layouts fit on any screen DPI
// (8 pt = 11 px, 10 pt = 13 px, 18 pt = 24 px).
QFont ArialFont(int pixels, bool bold = false, bool italic = false);

// A dialog-style window with a fixed client area, a title bar and only a
// close box.
void SetFixedDialogFrame(QWidget* window, const QString& caption, int width, int height);

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

class QFrame;
// A one-pixel panel frame, sunken or raised, whose four edges all show on
// the light backgrounds of today's styles: the light edge, white in the
// style's palette, is a light grey instead.
void SetPanelFrame(QFrame* frame, bool sunken);

class QMenuBar;

// Keyboard access to a menu bar: every menu and every item gets a mnemonic
// (Alt+F for "File" and so on), the first letter of its caption not yet
// taken among its neighbours, else the first free letter further on. The
// captions read as before; only the underline is new.
void AssignMnemonics(QMenuBar* bar);

#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <string>

class Dialogs;
class QPainter;
class QPrinter;
class QWidget;

// A window's chart as a picture, for its "Save picture...", "Copy" and
// "Print..." commands: saved as PNG at a pixel density or as SVG (lines and
// text, through Qt SVG's generator), put on the clipboard, or printed fitted
// to a landscape page under a header line. The window says what the picture
// is: its size, how to draw it at the painter's origin, and the header.
class Tchart_picture {
 public:
  // The picture's size in logical pixels, and its drawing onto a painter at
  // the origin, over the background colour.
  std::function<QSize()> size;
  std::function<void(QPainter&)> render;
  QColor background;
  // The title of the picture file and of the print job ("Barograph").
  QString title;
  // The line above the printed chart and in the SVG file's description:
  // what is shown, and the present value.
  std::function<QString()> header;
  // Asks for the printer and its settings; false when cancelled. The print
  // dialog when not set (tests put a PDF file in its place).
  std::function<bool(QPrinter&)> choose_printer;

  // The picture at `ratio` device pixels per pixel.
  QImage Picture(qreal ratio) const;
  // Writes the picture to `name`: SVG for a name ending in ".svg", PNG at
  // `ratio` otherwise; false when the file could not be written.
  bool Save(const std::string& name, qreal ratio) const;
  // Draws the printed page onto `printer`; false when it could not.
  bool PrintTo(QPrinter& printer) const;

  // The commands. Save asks for the name (offering `name`, which becomes
  // the one chosen), confirms an existing file, and says when it could not
  // be written; Print asks for the printer (over `parent`) and says when
  // printing failed.
  void SaveCommand(Dialogs* dialogs, std::string& name, qreal ratio) const;
  void CopyCommand(qreal ratio) const;
  void PrintCommand(QWidget* parent, Dialogs* dialogs) const;
};

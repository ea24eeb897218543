#pragma once

#include <QString>
#include <QTabWidget>
#include <Qt>

class QFont;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

// Placement helpers of the settings dialog: every control at its given
// position and size within its parent.
namespace settings_layout {

QLabel* Text(QWidget* parent, int x, int y, int w, int h, const QString& text,
             Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
QLabel* Text(QWidget* parent, int x, int y, int w, int h, const QString& text, const QFont& font,
             Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
// A label whose text wraps onto as many lines as its height holds.
QLabel* Paragraph(QWidget* parent, int x, int y, int w, int h, const QString& text);
// A single-line edit for a number, 21 pixels high, right-aligned;
// max_length 0 leaves the length free.
QLineEdit* Edit(QWidget* parent, int x, int y, int w, const QString& text, int max_length = 0);
// A value shown in a sunken box, like the main window's readouts.
QLabel* Readout(QWidget* parent, int x, int y, int w, int h, const QString& text);
QGroupBox* Group(QWidget* parent, int x, int y, int w, int h, const QString& title);
QFrame* Panel(QWidget* parent, int x, int y, int w, int h);
// A horizontal engraved line.
QFrame* Rule(QWidget* parent, int x, int y, int w);
QLabel* Picture(QWidget* parent, int x, int y, int w, int h, const char* asset);

// Tabbed pages whose tabs are only as wide as their captions need, so that
// the five captions of the dialog fit side by side in its width.
class CompactTabs : public QTabWidget {
 public:
  explicit CompactTabs(QWidget* parent);
};

}  // namespace settings_layout

#include "components/UiStyle.h"

#include <QAction>
#include <QFrame>
#include <QList>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QSet>
#include <QWidget>

QFont ArialFont(int pixels, bool bold, bool italic) {
  QFont font("Liberation Sans");
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

void SetFixedDialogFrame(QWidget* window, const QString& caption, int width, int height) {
  window->setWindowTitle(caption);
  window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint);
  window->setFixedSize(width, height);
}

void SetPanelFrame(QFrame* frame, bool sunken) {
  frame->setFrameStyle(QFrame::Panel | (sunken ? QFrame::Sunken : QFrame::Raised));
  frame->setLineWidth(1);
  QPalette palette = frame->palette();
  palette.setColor(QPalette::Light, QColor(208, 208, 208));
  frame->setPalette(palette);
}

namespace {

// Puts a mnemonic on each action of one menu level: the first letter or
// digit of the caption that no earlier action of that level has taken.
void AssignLevel(const QList<QAction*>& actions) {
  QSet<QChar> taken;
  for (QAction* action : actions) {
    if (action->isSeparator()) continue;
    QString text = action->text();
    if (text.contains('&')) continue;
    for (int i = 0; i < text.size(); ++i) {
      const QChar key = text[i].toLower();
      if (!key.isLetterOrNumber() || taken.contains(key)) continue;
      taken.insert(key);
      text.insert(i, '&');
      action->setText(text);
      break;
    }
    if (QMenu* menu = action->menu()) AssignLevel(menu->actions());
  }
}

}  // namespace

void AssignMnemonics(QMenuBar* bar) {
  if (bar != nullptr) AssignLevel(bar->actions());
}

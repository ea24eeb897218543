#include "settings/Tsettings_layout.h"

#include <QApplication>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QStyle>
#include <QTabBar>

#include "components/Picture.h"
#include "components/UiStyle.h"

namespace settings_layout {

namespace {

// The toolkit's own style with less room beside each tab's caption.
class CompactTabStyle : public QProxyStyle {
 public:
  CompactTabStyle() : QProxyStyle(QApplication::style()->name()) {}

  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_TabBarTabHSpace) return 12;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

}  // namespace

CompactTabs::CompactTabs(QWidget* parent) : QTabWidget(parent) {
  QTabBar* bar = tabBar();
  auto* style = new CompactTabStyle;
  style->setParent(bar);  // lives as long as the bar
  bar->setStyle(style);
  bar->setFont(ArialFont(10));
  bar->setUsesScrollButtons(false);
  bar->setElideMode(Qt::ElideNone);
}

QLabel* Text(QWidget* parent, int x, int y, int w, int h, const QString& text,
             Qt::Alignment align) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(x, y, w, h);
  label->setAlignment(align);
  return label;
}

QLabel* Text(QWidget* parent, int x, int y, int w, int h, const QString& text, const QFont& font,
             Qt::Alignment align) {
  QLabel* label = Text(parent, x, y, w, h, text, align);
  label->setFont(font);
  return label;
}

QLabel* Paragraph(QWidget* parent, int x, int y, int w, int h, const QString& text) {
  QLabel* label = Text(parent, x, y, w, h, text, Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  return label;
}

QLineEdit* Edit(QWidget* parent, int x, int y, int w, const QString& text, int max_length) {
  auto* edit = new QLineEdit(text, parent);
  edit->setGeometry(x, y, w, 21);
  edit->setAlignment(Qt::AlignRight);
  if (max_length > 0) edit->setMaxLength(max_length);
  return edit;
}

QLabel* Readout(QWidget* parent, int x, int y, int w, int h, const QString& text) {
  QLabel* label = Text(parent, x, y, w, h, text, Qt::AlignRight | Qt::AlignVCenter);
  label->setStyleSheet(
      QStringLiteral("QLabel { border: 1px solid #a8a8a8; border-radius: 2px; background: #f7f7f7;"
                     " padding-right: 4px; }"));
  return label;
}

QGroupBox* Group(QWidget* parent, int x, int y, int w, int h, const QString& title) {
  auto* group = new QGroupBox(title, parent);
  group->setGeometry(x, y, w, h);
  return group;
}

QFrame* Panel(QWidget* parent, int x, int y, int w, int h) {
  auto* frame = new QFrame(parent);
  frame->setGeometry(x, y, w, h);
  frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  return frame;
}

QFrame* Rule(QWidget* parent, int x, int y, int w) {
  auto* line = new QFrame(parent);
  line->setGeometry(x, y, w, 2);
  line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  return line;
}

QLabel* Picture(QWidget* parent, int x, int y, int w, int h, const char* asset) {
  // Rendered when the dialog first shows, not when it is made.
  QLabel* label = new Tpicture(QString::fromLatin1(asset), parent);
  label->setGeometry(x, y, w, h);
  return label;
}

}  // namespace settings_layout

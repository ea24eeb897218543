// The live labels of the main and small windows while the program samples:
// a tick repaints the labels whose text changed and nothing beneath them,
// and a label over its backdrop paints the very pixels a plain transparent
// label paints.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QTabWidget>
#include <map>
#include <set>
#include <string>

#include "chart/Plot_time.h"
#include "components/Lcd_bar.h"
#include "components/Value_label.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "support_program.h"
#include "windows/Tsmall.h"

namespace {

// The widgets painted since the last Take.
class PaintRecorder : public QObject {
 public:
  PaintRecorder() { QApplication::instance()->installEventFilter(this); }
  ~PaintRecorder() override { QApplication::instance()->removeEventFilter(this); }
  std::set<QWidget*> Take() { return std::exchange(painted_, {}); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      if (auto* widget = qobject_cast<QWidget*>(watched)) painted_.insert(widget);
    return false;
  }

 private:
  std::set<QWidget*> painted_;
};

// What a tick may change about a window: texts, places and visibility.
struct WindowState {
  std::map<QLabel*, QString> texts;
  std::map<QWidget*, std::pair<QRect, bool>> places;
};

WindowState StateOf(QWidget* window) {
  WindowState state;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    state.places[w] = {w->geometry(), w->isVisible()};
    if (auto* label = qobject_cast<QLabel*>(w)) state.texts[label] = label->text();
  }
  return state;
}

class LabelRepaintTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    StartMeasuringProgram();
    Settle();
  }
  // Runs the repaints, then what they asked for (the labels' backdrops).
  static void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
  // n ticks on the given window, each checked: the labels repainted are the
  // shown ones whose text changed; nothing else is repainted unless a
  // display moved, was resized, shown or hidden (a mercury column, the
  // altitude arrow) or draws itself (the history bars, the plots).
  void CheckTicks(QWidget* window, int n) {
    PaintRecorder recorder;
    for (int tick = 0; tick < n; ++tick) {
      const WindowState before = StateOf(window);
      MeasureTicks(1);
      Settle();
      const WindowState after = StateOf(window);
      const std::set<QWidget*> painted = recorder.Take();
      const bool something_moved = before.places != after.places;
      std::set<QWidget*> expected;
      for (const auto& [label, text] : after.texts)
        if (label->isVisible() && before.texts.at(label) != text) expected.insert(label);
      for (QWidget* w : painted) {
        if (w->window() != window || expected.count(w) || something_moved) continue;
        if (dynamic_cast<Tlcd_bar*>(w) || dynamic_cast<Tplot_time*>(w)) continue;
        ADD_FAILURE() << "tick " << tick << " repainted a " << w->metaObject()->className()
                      << " at " << w->x() << "," << w->y() << " whose content did not change";
      }
      for (QWidget* label : expected)
        EXPECT_TRUE(painted.count(label))
            << "tick " << tick << ": a changed label was not repainted";
    }
  }
  // The window grabbed with its labels over their backdrops equals the
  // window grabbed with plain transparent labels.
  static void ExpectSamePixelsAsPlainLabels(QWidget* window, const char* what) {
    Settle();
    const auto labels = window->findChildren<Tvalue_label*>();
    int with_backdrop = 0;
    for (Tvalue_label* label : labels) {
      if (!label->isVisible()) continue;
      EXPECT_TRUE(label->HasBackdrop()) << what << ": " << label->text().toStdString();
      with_backdrop += label->HasBackdrop();
    }
    EXPECT_GT(with_backdrop, 1) << what;
    const QImage opaque = window->grab().toImage();
    for (Tvalue_label* label : labels) label->DropBackdrop();
    const QImage plain = window->grab().toImage();
    EXPECT_TRUE(opaque == plain) << what << ": the pictures differ";
    Settle();  // the labels take their backdrops again
  }
};

}  // namespace

TEST_F(LabelRepaintTest, ATickRepaintsOnlyTheLabelsWhoseTextChanged) {
  TWmain* w = Program().Wmain;
  ASSERT_TRUE(w->isVisible());
  CheckTicks(w, 40);
  w->PageControl1->setCurrentIndex(1);  // the altimeter page: a moving label
  Settle();
  CheckTicks(w, 40);
  // A failed sample shows "--": the labels that show it repaint, alone.
  module.SetUnplugged(true);
  CheckTicks(w, 2);
  EXPECT_EQ(w->lbpressure->text().toStdString(), "--");
  module.SetUnplugged(false);
  CheckTicks(w, 2);

  w->Minimize1Click();
  TWsmall* small = Program().Wsmall;
  ASSERT_TRUE(small->isVisible());
  Settle();
  CheckTicks(small, 20);
}

TEST_F(LabelRepaintTest, LabelsOverTheirBackdropsPaintWhatPlainLabelsPaint) {
  TWmain* w = Program().Wmain;
  MeasureTicks(5);
  ExpectSamePixelsAsPlainLabels(w, "barometer page");
  w->PageControl1->setCurrentIndex(1);
  Settle();
  MeasureTicks(5);
  ExpectSamePixelsAsPlainLabels(w, "altimeter page");

  // A new palette redraws everything beneath the labels: they take new
  // backdrops instead of showing the old colours.
  QPalette palette = w->palette();
  palette.setColor(QPalette::Window, QColor(200, 220, 240));
  w->setPalette(palette);
  Settle();
  MeasureTicks(2);
  ExpectSamePixelsAsPlainLabels(w, "altimeter page, new palette");
  w->PageControl1->setCurrentIndex(0);
  Settle();
  ExpectSamePixelsAsPlainLabels(w, "barometer page, new palette");

  w->Minimize1Click();
  Settle();
  MeasureTicks(3);
  ExpectSamePixelsAsPlainLabels(Program().Wsmall, "small window");
}

// Over a run of the program a label lays its text out once per new text, a
// repaint that brings no new text only copies the label's picture, and the
// labels of a window that is not shown draw nothing while it stays hidden.
TEST_F(LabelRepaintTest, ATextIsLaidOutOncePerChangeAndNotWhileHidden) {
  TWmain* w = Program().Wmain;
  TWsmall* small = Program().Wsmall;
  ASSERT_TRUE(w->isVisible());
  ASSERT_FALSE(small->isVisible());
  MeasureTicks(3);
  Settle();
  const auto labels = w->findChildren<Tvalue_label*>();
  const auto small_labels = small->findChildren<Tvalue_label*>();
  // Painted over their backdrops, the labels have their pictures.
  for (int round = 0; round < 2; ++round) {
    for (Tvalue_label* label : labels) label->repaint();
    Settle();
  }
  ASSERT_FALSE(small_labels.empty());
  std::map<Tvalue_label*, long> layouts;
  std::map<Tvalue_label*, int> changes;
  for (Tvalue_label* label : labels) layouts[label] = label->TextLayouts();
  for (Tvalue_label* label : small_labels) layouts[label] = label->TextLayouts();
  int changed = 0;
  for (int tick = 0; tick < 30; ++tick) {
    std::map<Tvalue_label*, QString> before;
    for (Tvalue_label* label : labels) before[label] = label->text();
    MeasureTicks(1);
    Settle();
    for (Tvalue_label* label : labels)
      if (label->isVisible() && label->text() != before[label]) ++changes[label], ++changed;
  }
  // Every label drawn again, with nothing new in it.
  for (Tvalue_label* label : labels) label->repaint();
  Settle();
  EXPECT_GT(changed, 30) << "the run changed too few texts to tell";
  int shown = 0;
  for (Tvalue_label* label : labels) {
    if (!label->isVisible()) continue;
    ++shown;
    EXPECT_TRUE(label->HasBackdrop()) << label->text().toStdString();
    EXPECT_LE(label->TextLayouts() - layouts[label], changes[label])
        << label->text().toStdString() << ": laid out again without a new text";
  }
  EXPECT_GT(shown, 10);
  for (Tvalue_label* label : small_labels)
    EXPECT_EQ(label->TextLayouts(), layouts[label]) << "a hidden window's label was drawn";

  // Shown, the small window draws its labels once, then as they change;
  // the hidden main window keeps no pictures of its labels.
  w->Minimize1Click();
  ASSERT_TRUE(small->isVisible());
  for (Tvalue_label* label : labels) EXPECT_FALSE(label->HasBackdrop());
  Settle();
  MeasureTicks(1);
  Settle();
  for (int round = 0; round < 2; ++round) {
    for (Tvalue_label* label : small_labels) label->repaint();
    Settle();
  }
  for (Tvalue_label* label : small_labels) layouts[label] = label->TextLayouts();
  for (Tvalue_label* label : small_labels) label->repaint();
  Settle();
  for (Tvalue_label* label : small_labels) {
    EXPECT_TRUE(label->HasBackdrop()) << label->text().toStdString();
    EXPECT_EQ(label->TextLayouts(), layouts[label]) << label->text().toStdString();
  }
}

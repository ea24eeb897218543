#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QWidget>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "chart/Plot_time.h"
#include "components/Axis_ticks.h"

namespace {

// Colours as 0xRRGGBB, the way Px reads them.
const QRgb kNavy = 0x000080;
const QRgb kYellow = 0xFFFF00;
const QRgb kBlack = 0x000000;
const QRgb kGrey = 0x808080;

// A plot as the chart window sets it up: 537 x 177, navy, yellow curve,
// black border, grey grid with two divisions each way.
void SetUpChartPlot(Tplot_time& plot, int history) {
  plot.setGeometry(96, 8, 537, 177);
  plot.SetBGColor(QColor(0, 0, 128));
  plot.SetWVColor(QColor(255, 255, 0));
  plot.SetBorderColor(QColor(0, 0, 0));
  plot.SetHistoryLength(history);
  plot.Set_x_grid_nbr(2);
  plot.Set_y_grid_nbr(2);
}

QRgb Px(const Tplot_time& plot, int x, int y) {
  return plot.GetBitmap().pixel(x, y) & 0xFFFFFF;
}

int CountColour(const QImage& img, QRgb colour) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) n += (img.pixel(x, y) & 0xFFFFFF) == colour;
  return n;
}

// Records the sample spans the compressed drawing asks for, column by column.
class SpanRecordingPlot : public Tplot_time {
 public:
  std::vector<std::pair<int, int>> spans;
  void MinMaxInOut(int first, int last) override {
    spans.emplace_back(first, last);
    Tplot_time::MinMaxInOut(first, last);
  }
};

TEST(PlotTime, NewPlotWorksWithDefaults) {
  Tplot_time plot;
  EXPECT_EQ(plot.geometry(), QRect(100, 100, 100, 100));
  EXPECT_EQ(plot.GetBitmap().format(), QImage::Format_RGB32);
  EXPECT_EQ(plot.HistoryLength(), Tplot_time::kDefaultHistoryLength);
  // Drawn at once: red border on black, nothing left pending.
  EXPECT_FALSE(plot.NeedsRedraw());
  EXPECT_EQ(Px(plot, 0, 50), 0xFF0000u);
  EXPECT_EQ(Px(plot, 99, 99), 0xFF0000u);
  EXPECT_EQ(Px(plot, 50, 50), kBlack);
  EXPECT_TRUE(plot.YScaleChangedSinceLastCheck());
  EXPECT_FALSE(plot.YScaleChangedSinceLastCheck());
  plot.AddSample(3.0, 30.0);
  plot.AddSample(5.0, 50.0);
  EXPECT_EQ(plot.Count(), 2);
  EXPECT_EQ(plot.GetRangeYHigh(), 5.0);
  EXPECT_GT(CountColour(plot.GetBitmap(), 0xFFFFFF), 0);
}

TEST(PlotTime, HistoryScrollsAndLengthChangeStartsEmpty) {
  Tplot_time plot;
  plot.SetHistoryLength(5);
  for (int i = 0; i < 5; ++i) plot.AddSample(i, 100 + i);
  EXPECT_EQ(plot.Count(), 5);
  plot.AddSample(5, 105);
  EXPECT_EQ(plot.Count(), 5);
  EXPECT_EQ(plot.ValueAt(0), 1.0);
  EXPECT_EQ(plot.ValueAt(4), 5.0);
  EXPECT_EQ(plot.GetRangeTempsAtX(0), 101.0);  // the second-oldest of before

  plot.SetHistoryLength(1);  // ignored
  EXPECT_EQ(plot.HistoryLength(), 5);
  EXPECT_EQ(plot.Count(), 5);
  plot.SetHistoryLength(3);  // a plot with samples: new, empty history
  EXPECT_EQ(plot.HistoryLength(), 3);
  EXPECT_EQ(plot.Count(), 0);
  for (int i = 0; i < 4; ++i) plot.AddSample(i, i);
  EXPECT_EQ(plot.Count(), 3);
  EXPECT_EQ(plot.ValueAt(0), 1.0);
}

TEST(PlotTime, TimeAtFraction) {
  Tplot_time plot;
  EXPECT_EQ(plot.GetRangeTempsAtX(0.5), 0.0);
  for (int i = 0; i < 10; ++i) plot.AddSample(0, 1000 + i);
  EXPECT_EQ(plot.GetRangeTempsAtX(0.33), 1002.0);
  EXPECT_EQ(plot.GetRangeTempsAtX(0.66), 1005.0);
  EXPECT_EQ(plot.GetRangeTempsAtX(-0.5), 1000.0);
  EXPECT_EQ(plot.GetRangeTempsAtX(2.0), 1009.0);
  EXPECT_EQ(plot.GetRangeTempsAtX(std::nan("")), 1000.0);
  EXPECT_EQ(plot.GetRangeTempsAtX(INFINITY), 1009.0);
  plot.ClearContent();
  EXPECT_EQ(plot.GetRangeTempsAtX(1.0), 0.0);
}

TEST(PlotTime, AutoscaleFollowsDataAndReportsChangesOnce) {
  Tplot_time plot;
  plot.YScaleChangedSinceLastCheck();
  plot.AddSample(10, 0);  // first sample moves the range from 0..0
  EXPECT_TRUE(plot.YScaleChangedSinceLastCheck());
  for (int v = 11; v <= 14; ++v) {
    plot.AddSample(v, 0);
    EXPECT_TRUE(plot.YScaleChangedSinceLastCheck());
    EXPECT_FALSE(plot.YScaleChangedSinceLastCheck());
  }
  plot.AddSample(12, 0);  // inside the range: no change
  EXPECT_FALSE(plot.YScaleChangedSinceLastCheck());
  EXPECT_EQ(plot.GetRangeYLow(), 10.0);
  EXPECT_EQ(plot.GetRangeYHigh(), 14.0);

  // NaN samples are left out of the span, even as the oldest one.
  Tplot_time gaps;
  gaps.AddSample(std::nan(""), 0);
  gaps.AddSample(2, 0);
  gaps.AddSample(7, 0);
  EXPECT_EQ(gaps.GetRangeYLow(), 2.0);
  EXPECT_EQ(gaps.GetRangeYHigh(), 7.0);
  gaps.YScaleChangedSinceLastCheck();
  gaps.AddSample(std::nan(""), 0);
  EXPECT_FALSE(gaps.YScaleChangedSinceLastCheck());
}

TEST(PlotTime, ManualRangeIgnoresSamplesUntilAutoscaleReturns) {
  Tplot_time plot;
  plot.AddSample(1, 0);
  plot.AddSample(3, 0);
  plot.SetManualYScaleLow(-5);  // stored, but autoscale still rules
  EXPECT_EQ(plot.RangeYLow(), -5.0);
  EXPECT_EQ(plot.GetRangeYLow(), 1.0);
  plot.YScaleChangedSinceLastCheck();
  plot.SetAutoScaleY(false);
  EXPECT_TRUE(plot.YScaleChangedSinceLastCheck());
  EXPECT_EQ(plot.GetRangeYLow(), -5.0);
  EXPECT_EQ(plot.GetRangeYHigh(), 0.0);
  plot.AddSample(100, 0);
  EXPECT_FALSE(plot.YScaleChangedSinceLastCheck());
  EXPECT_EQ(plot.GetRangeYHigh(), 0.0);
  plot.SetManualYScaleHigh(0.0);  // same value: no change
  EXPECT_FALSE(plot.YScaleChangedSinceLastCheck());
  plot.SetAutoScaleY(true);  // data range as last scanned, 1..100
  EXPECT_TRUE(plot.YScaleChangedSinceLastCheck());
  EXPECT_EQ(plot.GetRangeYLow(), 1.0);
  EXPECT_EQ(plot.GetRangeYHigh(), 100.0);
}

TEST(PlotTime, FrameAndGridOnChartSize) {
  Tplot_time plot;
  SetUpChartPlot(plot, 3600);
  plot.AddSample(1013, 0);  // one sample: no curve
  const QImage& img = plot.GetBitmap();
  ASSERT_EQ(img.size(), QSize(537, 177));
  EXPECT_EQ(CountColour(img, kYellow), 0);
  for (int y = 0; y < 177; ++y)
    for (int x : {0, 179, 358}) EXPECT_EQ(Px(plot, x, y), kGrey) << x << "," << y;
  for (int x = 0; x < 537; ++x)
    for (int y : {0, 59, 118}) EXPECT_EQ(Px(plot, x, y), kGrey) << x << "," << y;
  EXPECT_EQ(Px(plot, 536, 30), kBlack);
  EXPECT_EQ(Px(plot, 30, 176), kBlack);
  EXPECT_EQ(Px(plot, 30, 30), kNavy);

  plot.Set_x_grid_nbr(-3);
  EXPECT_EQ(plot.GridXdivisions(), 0);
  EXPECT_EQ(Px(plot, 179, 30), kNavy);
  plot.Set_x_grid_nbr(INT_MAX);  // more lines than columns: all on column 0
  EXPECT_EQ(Px(plot, 0, 30), kGrey);
  EXPECT_EQ(Px(plot, 1, 30), kNavy);
}

TEST(PlotTime, FlatSignalAndEndPointsUncompressed) {
  Tplot_time plot;
  SetUpChartPlot(plot, 3600);
  for (int i = 0; i < 10; ++i) plot.AddSample(1013.25, i);
  for (int x = 1; x < 534; ++x) EXPECT_EQ(Px(plot, x, 1), kYellow) << x;
  EXPECT_EQ(CountColour(plot.GetBitmap(), kYellow),
            CountColour(plot.GetBitmap().copy(0, 1, 537, 1), kYellow));

  plot.ClearContent();
  plot.AddSample(0, 0);
  plot.AddSample(50, 1);  // a line from the lowest row to the highest
  EXPECT_EQ(Px(plot, 0, 175), kYellow);
  EXPECT_EQ(Px(plot, 535, 1), kYellow);
}

TEST(PlotTime, CompressedColumnsCoverEverySampleOnce) {
  SpanRecordingPlot plot;
  SetUpChartPlot(plot, 3600);
  plot.Set_x_grid_nbr(0);
  plot.Set_y_grid_nbr(0);
  for (int i = 0; i < 600; ++i) plot.AddSample(i % 2, i);
  plot.spans.clear();
  plot.DrawComponent();
  ASSERT_EQ(plot.spans.size(), 537u);
  int expected_first = 0;
  for (size_t c = 0; c < plot.spans.size(); ++c) {
    const auto [first, last] = plot.spans[c];
    EXPECT_EQ(first, expected_first) << c;
    EXPECT_TRUE(last - first == 0 || last - first == 1) << c;
    expected_first = last + 1;
    if (last == first) continue;
    // Two samples, 0 and 1: a bar over the whole inner height.
    for (int y = 1; y <= 175; ++y) EXPECT_EQ(Px(plot, int(c), y), kYellow) << c << "," << y;
  }
  EXPECT_EQ(plot.spans.back().second, 599);
}

// A compressed curve is one connected line: each column's pixels touch the
// column before, also where a jump spans the whole height.
TEST(PlotTime, CompressedCurveIsConnected) {
  Tplot_time plot;
  SetUpChartPlot(plot, 3600);
  plot.Set_x_grid_nbr(0);
  plot.Set_y_grid_nbr(0);
  plot.SetManualYScaleLow(0);
  plot.SetManualYScaleHigh(100);
  plot.SetAutoScaleY(false);
  // Blocks of 20 samples (about three columns) jump between the bottom, the
  // middle and the top.
  const double levels[] = {0, 100, 50, 100, 0, 50};
  for (int i = 0; i < 3600; ++i) plot.AddSample(levels[(i / 20) % 6], i);
  auto rows = [&](int x) {
    std::pair<int, int> span{INT_MAX, INT_MIN};
    for (int y = 0; y < 177; ++y)
      if (Px(plot, x, y) == kYellow) span = {std::min(span.first, y), std::max(span.second, y)};
    return span;
  };
  for (int x = 1; x < 537; ++x) {
    const auto [top, bottom] = rows(x);
    const auto [prev_top, prev_bottom] = rows(x - 1);
    ASSERT_LE(top, bottom) << "column " << x << " is empty";
    EXPECT_TRUE(top <= prev_bottom + 1 && prev_top <= bottom + 1) << "gap before column " << x;
  }
}

TEST(PlotTime, OutOfRangeValuesAreClippedAtTheEdges) {
  Tplot_time plot;
  SetUpChartPlot(plot, 100);
  plot.SetManualYScaleLow(0);
  plot.SetManualYScaleHigh(10);
  plot.SetAutoScaleY(false);
  for (double v : {5.0, 1e300, 5.0, -HUGE_VAL, 5.0, std::nan("")}) plot.AddSample(v, 0);
  // Every spike runs off its edge: the curve reaches the rows inside both.
  const QImage top = plot.GetBitmap().copy(0, 1, 537, 1);
  const QImage bottom = plot.GetBitmap().copy(0, 175, 537, 1);
  EXPECT_GT(CountColour(top, kYellow), 0);
  EXPECT_GT(CountColour(bottom, kYellow), 0);

  // A span reaching past the stored samples takes the newest one, never a
  // slot that holds no sample.
  plot.SetHistoryLength(10);
  plot.SetAutoScaleY(true);
  for (double v : {1.0, 2.0, 3.0}) plot.AddSample(v, 0);
  plot.MinMaxInOut(0, 9);
  EXPECT_EQ(plot.EntryY(), 1);
  EXPECT_EQ(plot.MaxY(), 1);
}

TEST(PlotTime, RedrawsOnlyWhenMarkedOrResized) {
  Tplot_time plot;
  SetUpChartPlot(plot, 100);
  plot.AddSample(1, 0);
  plot.AddSample(2, 1);
  const QImage before = plot.GetBitmap().copy();
  plot.ClearContent();  // the old picture stays until the next redraw
  plot.Paint();
  EXPECT_EQ(plot.GetBitmap(), before);
  plot.AddSample(3, 2);
  EXPECT_EQ(CountColour(plot.GetBitmap(), kYellow), 0);

  plot.resize(200, 50);
  plot.Paint();
  EXPECT_EQ(plot.GetBitmap().size(), QSize(200, 50));
  EXPECT_EQ(Px(plot, 199, 25), kBlack);
  plot.resize(0, 0);  // no picture to draw into, and no crash
  plot.AddSample(4, 3);
  EXPECT_TRUE(plot.GetBitmap().isNull());
  plot.resize(537, 177);
  plot.ClearContent();
  plot.AddSample(3, 2);

  plot.hide();  // a hidden plot does not draw
  plot.AddSample(4, 3);
  EXPECT_EQ(CountColour(plot.GetBitmap(), kYellow), 0);
  plot.show();
  plot.DrawComponent();
  EXPECT_GT(CountColour(plot.GetBitmap(), kYellow), 0);
  EXPECT_EQ(plot.grab().toImage().convertToFormat(QImage::Format_RGB32), plot.GetBitmap());
}

// The plot's picture as the painter drew it, with one-pixel lines for the
// frame, the grid and every piece of the curve: the reference the direct
// drawing must match pixel for pixel. It reads the plot's public state only.
QImage PainterDrawing(const Tplot_time& plot) {
  const int w = plot.GetBitmap().width();
  const int h = plot.GetBitmap().height();
  QImage image(w, h, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(0, 0, w, h, plot.BackColor());
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(plot.BorderColor(), 0));
  p.drawRect(0, 0, w - 1, h - 1);
  p.setPen(QPen(plot.GridColor(), 0));
  // With more divisions than pixels, every line falls on the first.
  if (plot.GridXdivisions() > 0) {
    const int step = w / (plot.GridXdivisions() + 1);
    const int lines = step > 0 ? plot.GridXdivisions() + 1 : 0;
    for (int k = 0; k <= lines; ++k) p.drawLine(k * step, 0, k * step, h);
  }
  if (plot.GridYdivisions() > 0) {
    const int step = h / (plot.GridYdivisions() + 1);
    const int lines = step > 0 ? plot.GridYdivisions() + 1 : 0;
    for (int k = 0; k <= lines; ++k) p.drawLine(0, k * step, w, k * step);
  }
  const int count = plot.Count();
  if (count <= 1) return image;

  double span = plot.GetRangeYLow() - plot.GetRangeYHigh();
  if (span == 0.0) span = 0.00001;
  const double y_scale = (h - 3) / span;
  const double y_offset = 1.0 - y_scale * plot.GetRangeYHigh();
  auto pixel = [](double v) {
    if (std::isnan(v) || v <= -100000.0) return -100000;
    if (v >= 100000.0) return 100000;
    return static_cast<int>(v);
  };
  auto row = [&](double v) { return pixel(y_offset + y_scale * v); };
  p.setPen(QPen(plot.WaveColor(), 0));
  std::vector<QLine> lines;
  QPoint pen(0, row(plot.ValueAt(0)));
  if (count <= w) {
    const double x_scale = (w - 3) / static_cast<double>(count - 1);
    for (int i = 1; i < count; ++i) {
      const QPoint next(pixel(1.0 + i * x_scale), row(plot.ValueAt(i)));
      lines.emplace_back(pen, next);
      pen = next;
    }
  } else {
    const double ratio = static_cast<double>(count) / w;
    double position = 0.0;
    for (int c = 0; c < w; ++c) {
      const int first = std::min(static_cast<int>(std::ceil(position)), count);
      position += ratio;
      const int last = std::min(static_cast<int>(std::floor(position)), count - 1);
      // A span past the stored samples takes the newest one.
      double entry = plot.ValueAt(count - 1), exit = entry, lo = entry, hi = entry;
      if (first < count) {
        entry = lo = hi = plot.ValueAt(first);
        for (int i = first + 1; i <= last; ++i) {
          lo = std::min(lo, plot.ValueAt(i));
          hi = std::max(hi, plot.ValueAt(i));
        }
        exit = last > first ? plot.ValueAt(last) : entry;
      }
      lines.emplace_back(pen, QPoint(c, row(entry)));
      if (row(lo) != row(hi)) lines.emplace_back(c, row(lo), c, row(hi));
      pen = QPoint(c, row(exit));
    }
  }
  p.drawLines(lines.data(), static_cast<int>(lines.size()));
  return image;
}

// One random history: a walk with jumps across the whole range, flat
// stretches, NaN, huge and infinite values; its length is below, near or far
// above the number of columns.
std::vector<double> RandomHistory(std::mt19937& rng, int width) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double lengths[] = {0.3, 0.9, 1.0, 1.05, 1.6, 2.5, 6.7};
  int n = static_cast<int>(width * lengths[rng() % 7] * (0.9 + 0.2 * unit(rng)));
  n = std::max(n, static_cast<int>(rng() % 4));
  std::vector<double> values;
  double v = 1000.0 * unit(rng);
  const double step = std::pow(10.0, 4.0 * unit(rng) - 2.0);
  for (int i = 0; i < n; ++i) {
    const double pick = unit(rng);
    if (pick < 0.01) {
      values.push_back(std::nan(""));
      continue;
    }
    if (pick < 0.015) {
      const double huge[] = {1e300, -1e300, HUGE_VAL, -HUGE_VAL, 1e9, -1e9};
      values.push_back(huge[rng() % 6]);
      continue;
    }
    if (pick < 0.05)
      v += (unit(rng) - 0.5) * 400.0 * step;  // a jump
    else if (pick < 0.3)
      v += 0.0;  // flat
    else
      v += (unit(rng) - 0.5) * step;
    values.push_back(v);
  }
  return values;
}

// The curve written into the image takes the very pixels the painter's lines
// took, on chart-sized and random-sized plots, under autoscale and under
// manual ranges that hold the curve, cut it or are flat.
TEST(PlotTime, DirectDrawingMatchesThePainterPixelForPixel) {
  std::mt19937 rng(20240613);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  QWidget hidden;  // filled inside a hidden window: samples are only stored
  for (int round = 0; round < 3000; ++round) {
    const bool chart_size = round % 25 == 0;
    const int w = chart_size ? 537 : 1 + static_cast<int>(rng() % 220);
    // Some plots taller than 190 rows, where the far end of a long downward
    // join can stay in the first column.
    const int h = chart_size ? 177 : 1 + static_cast<int>(rng() % (round % 5 == 0 ? 700 : 160));
    const std::vector<double> values = RandomHistory(rng, w);
    Tplot_time plot(&hidden);
    plot.setGeometry(0, 0, w, h);
    plot.SetBGColor(QColor(0, 0, 128));
    plot.SetWVColor(QColor(255, 255, 0));
    plot.SetBorderColor(QColor(0, 0, 0));
    plot.Set_x_grid_nbr(static_cast<int>(rng() % 4));
    plot.Set_y_grid_nbr(static_cast<int>(rng() % 4));
    // Half the histories scroll: the oldest samples leave as new ones come.
    const size_t length = std::max<size_t>(2, rng() % 2 ? values.size() : values.size() / 2);
    plot.SetHistoryLength(static_cast<int>(length));
    for (size_t i = 0; i < values.size(); ++i) plot.AddSample(values[i], static_cast<double>(i));
    // The span of the stored values, kept up sample by sample, is what a
    // scan finds.
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (int i = 0; i < plot.Count(); ++i) {
      if (plot.ValueAt(i) < lo) lo = plot.ValueAt(i);
      if (plot.ValueAt(i) > hi) hi = plot.ValueAt(i);
    }
    if (lo <= hi) {
      ASSERT_EQ(plot.DataYMin(), lo) << "history " << round;
      ASSERT_EQ(plot.DataYMax(), hi) << "history " << round;
    }
    if (rng() % 3 == 0) {
      // A manual range around some of the data, or none of it, or flat.
      const double a = plot.DataYMin() + (plot.DataYMax() - plot.DataYMin()) * (unit(rng) - 0.25);
      const double b = rng() % 8 == 0 ? a : a + (plot.DataYMax() - plot.DataYMin()) * unit(rng);
      plot.SetManualYScaleLow(a);
      plot.SetManualYScaleHigh(b);
      plot.SetAutoScaleY(false);
    }
    plot.DrawComponent();
    const QImage expected = PainterDrawing(plot);
    const QImage& drawn = plot.GetBitmap();
    if (drawn == expected) continue;
    std::string where = "none";
    for (int y = 0; y < h && where == "none"; ++y)
      for (int x = 0; x < w; ++x)
        if (drawn.pixel(x, y) != expected.pixel(x, y)) {
          where = std::to_string(x) + "," + std::to_string(y) + " " +
                  std::to_string(drawn.pixel(x, y)) + " vs " + std::to_string(expected.pixel(x, y));
          break;
        }
    ADD_FAILURE() << "history " << round << ": " << values.size() << " samples on " << w << " x "
                  << h << ", first difference at " << where;
    break;
  }
}

// The pixel row of a value, as the plot maps the range it draws.
int Row(const Tplot_time& plot, double v) {
  double span = plot.GetRangeYLow() - plot.GetRangeYHigh();
  if (span == 0.0) span = 0.00001;
  const double y_scale = (plot.height() - 3) / span;
  const double p = 1.0 - y_scale * plot.GetRangeYHigh() + y_scale * v;
  if (std::isnan(p) || p <= -100000.0) return -100000;
  if (p >= 100000.0) return 100000;
  return static_cast<int>(p);
}

// Long histories that have scrolled for a while (the ring has wrapped):
// the stored samples are the last ones added, in order; the span of any run
// of them is the plain scan's; and the chart-sized picture is the painter's,
// at an hour's and at ten hours' samples.
TEST(PlotTime, LongScrolledHistoriesDrawAsThePlainScan) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  QWidget hidden;
  for (int n : {3600, 36000}) {
    SpanRecordingPlot plot;
    plot.setParent(&hidden);
    SetUpChartPlot(plot, n);
    std::vector<double> added;
    double v = 1013.0;
    const int total = n + n / 3 + 7;
    for (int i = 0; i < total; ++i) {
      const double pick = unit(rng);
      if (pick < 0.002)
        added.push_back(std::nan(""));
      else if (pick < 0.003)
        added.push_back(v + (rng() % 2 ? 30.0 : -30.0));  // a spike
      else
        added.push_back(v += (unit(rng) - 0.5) * (pick < 0.01 ? 40.0 : 0.3));
      plot.AddSample(added.back(), i);
    }
    ASSERT_EQ(plot.Count(), n);
    for (int i = 0; i < n; i += 97) ASSERT_EQ(plot.TimeAt(i), total - n + i);
    const double* kept = added.data() + (total - n);
    auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (int i = 0; i < n; ++i) ASSERT_TRUE(same(plot.ValueAt(i), kept[i])) << i;

    // Spans of every length, against a scan of the samples as added.
    plot.UpdateDrawScaling();
    for (int round = 0; round < 2000; ++round) {
      const int first = static_cast<int>(rng() % static_cast<unsigned>(n));
      const int len = 1 + static_cast<int>(rng() % (round % 4 == 0 ? n - first : 300u));
      const int last = std::min(n - 1, first + len - 1);
      plot.MinMaxInOut(first, last);
      double lo = kept[first], hi = kept[first];
      for (int i = first + 1; i <= last; ++i) {
        lo = std::min(lo, kept[i]);
        hi = std::max(hi, kept[i]);
      }
      ASSERT_EQ(plot.EntryY(), Row(plot, kept[first])) << first << ".." << last;
      ASSERT_EQ(plot.MinY(), Row(plot, lo)) << first << ".." << last;
      ASSERT_EQ(plot.MaxY(), Row(plot, hi)) << first << ".." << last;
      ASSERT_EQ(plot.ExitY(), Row(plot, kept[last])) << first << ".." << last;
    }

    plot.spans.clear();
    plot.show();
    plot.DrawComponent();
    EXPECT_EQ(plot.spans.size(), 537u);
    EXPECT_EQ(plot.GetBitmap(), PainterDrawing(plot)) << n << " samples";
    EXPECT_GT(CountColour(plot.GetBitmap(), kYellow), 537);
    // And under a manual range that cuts the curve.
    plot.SetManualYScaleLow(plot.ValueAt(n / 2) - 1.0);
    plot.SetManualYScaleHigh(plot.ValueAt(n / 2) + 1.0);
    plot.SetAutoScaleY(false);
    plot.DrawComponent();
    EXPECT_EQ(plot.GetBitmap(), PainterDrawing(plot)) << n << " samples, manual range";
  }
}

// Colours given as fractions or as hue, saturation and value fill the
// background, border and grid with the very pixels the painter puts for
// them, over a compressed curve and over a short one.
TEST(PlotTime, ColoursOfEveryKindFillAsThePainterFills) {
  const QColor colours[][4] = {
      {QColor::fromRgbF(0.1f, 0.33f, 0.71f), QColor::fromHsv(200, 77, 201),
       QColor::fromHsvF(0.61f, 0.5f, 0.37f), QColor::fromRgbF(0.999f, 0.501f, 0.002f)},
      {QColor::fromHsl(40, 200, 100), QColor::fromCmyk(10, 200, 30, 40), QColor::fromRgb(1, 2, 3),
       QColor::fromHsvF(0.0f, 1.0f, 0.5f)}};
  for (int n : {20, 3600}) {
    for (const auto& c : colours) {
      Tplot_time plot;
      SetUpChartPlot(plot, n);
      plot.SetBGColor(c[0]);
      plot.SetBorderColor(c[1]);
      plot.SetGridColor(c[2]);
      plot.SetWVColor(c[3]);
      for (int i = 0; i < n; ++i) plot.AddSample(std::sin(i * 0.01) + (i % 7) * 0.05, i);
      plot.DrawComponent();
      EXPECT_EQ(plot.GetBitmap(), PainterDrawing(plot))
          << n << " samples, " << c[0].name().toStdString();
    }
  }
}

// Round places for the ticks of the chart's axes: values 1, 2 or 5 times a
// power of ten apart, times on whole seconds, minutes and hours of the
// local clock, at most as many as asked for.
TEST(AxisTicks, RoundValuesAndTimesOfTheClock) {
  using V = std::vector<double>;
  EXPECT_EQ(Taxis_ticks::Values(973.92, 974.18, 5), (V{973.95, 974.0, 974.05, 974.1, 974.15}));
  EXPECT_EQ(Taxis_ticks::Decimals(0.05), 2);
  EXPECT_EQ(Taxis_ticks::Values(1000, 1012, 5), (V{1000, 1005, 1010}));
  EXPECT_EQ(Taxis_ticks::Decimals(5), 0);
  EXPECT_EQ(Taxis_ticks::Values(-3, 7, 5), (V{-2, 0, 2, 4, 6}));
  EXPECT_EQ(Taxis_ticks::Values(0.3, 0.7, 3), (V{0.4, 0.6}));
  EXPECT_EQ(Taxis_ticks::Values(5, 5, 5), (V{5}));  // a flat signal
  EXPECT_EQ(Taxis_ticks::Values(1013.251, 1013.252, 5), (V{1013.251}));
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(Taxis_ticks::Values(std::nan(""), 1, 5).empty());
  EXPECT_TRUE(Taxis_ticks::Values(0, inf, 5).empty());
  EXPECT_TRUE(Taxis_ticks::Values(-1e308, 1e308, 5).empty());

  const double start = 982665895;  // 2001-02-20 10:44:55 UTC
  EXPECT_EQ(Taxis_ticks::Times(start, start + 3600, 5, 0),
            (V{982665900, 982666800, 982667700, 982668600}));  // 10:45, 11:00, ...
  EXPECT_EQ(Taxis_ticks::Times(start, start + 20, 5, 0),
            (V{982665895, 982665900, 982665905, 982665910, 982665915}));
  // Six hours at UTC+5:30: every two hours of the local clock.
  const V local = Taxis_ticks::Times(start, start + 6 * 3600, 5, 19800);
  ASSERT_EQ(local.size(), 3u);
  for (double t : local) EXPECT_EQ(std::fmod(t + 19800, 7200), 0.0) << t;
  EXPECT_TRUE(Taxis_ticks::Times(0, 1e12, 5, 0).empty());
  EXPECT_TRUE(Taxis_ticks::Times(0, inf, 5, 0).empty());

  const char* zone = std::getenv("TZ");
  const std::string previous = zone != nullptr ? zone : "";
  setenv("TZ", "UTC-5:30", 1);
  tzset();
  EXPECT_EQ(Taxis_ticks::UtcOffset(start), 19800);
  EXPECT_EQ(Taxis_ticks::UtcOffset(1e300), 0);
  if (zone != nullptr)
    setenv("TZ", previous.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

// After the clock was set back an hour the newest stamps lie before the
// oldest: the time ticks are those of the samples since, on their columns.
TEST(PlotTime, TimeTicksAfterTheClockWasSetBack) {
  Tplot_time plot;
  SetUpChartPlot(plot, 3600);
  const double start = 982665895;
  for (int i = 0; i < 1800; ++i) plot.AddSample(1000, start + i);
  const double back = start + 1800 - 3600;
  for (int i = 0; i < 1200; ++i) plot.AddSample(1000, back + i);
  const std::vector<Tplot_time::Tick> ticks = plot.TimeTicks();
  ASSERT_GE(ticks.size(), 2u);
  const int first_column = 1800 * plot.width() / 3000;
  for (const Tplot_time::Tick& tick : ticks) {
    EXPECT_GE(tick.at, back);
    EXPECT_LE(tick.at, back + 1199);
    EXPECT_GE(tick.pixel, first_column - 1);
  }
}

// Writes a picture of a chart-sized plot for a person to look at.
TEST(PlotTime, RendersChartPng) {
  Tplot_time plot;
  SetUpChartPlot(plot, 3600);
  for (int i = 0; i < 1500; ++i)
    plot.AddSample(1013 + 4 * std::sin(i / 200.0) + ((i * 7919) % 13) / 10.0, i);
  EXPECT_TRUE(plot.GetBitmap().save("plot_time.png"));

  Tplot_time few;  // fewer samples than columns: joined points
  SetUpChartPlot(few, 3600);
  for (int i = 0; i < 40; ++i) few.AddSample(std::sin(i / 4.0), i);
  EXPECT_TRUE(few.GetBitmap().save("plot_time_few.png"));
}

}  // namespace

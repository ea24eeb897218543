#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <functional>
#include <vector>

#include "chart/Sample_ring.h"
#include "components/Axis_ticks.h"

class QHideEvent;
class QPainter;
class QPaintEvent;

// A self-drawing plot of one quantity against sample order.
//
// The plot keeps a bounded history of samples (a value and a time stamp
// each) in a ring; once the history is full every new sample takes the
// place of the oldest, so the picture scrolls and nothing is copied. The
// vertical range is either the span of the stored values (autoscale) or set
// by hand. Background, border, grid and curve are drawn into an off-screen
// image that is redrawn only when marked (or when the control moved or
// changed size) and copied to the screen on every paint. When there are
// more samples than pixel columns, each column shows the span of its
// samples as a vertical bar, found from the ring's block summaries, so the
// drawing costs the same whatever the history's length. A plot inside a
// window that is not shown records its samples but draws nothing until the
// window shows again (or DrawComponent is called), and a hidden plot holds
// no picture.
//
// The time stamps are not interpreted, except by the round grid: with it
// on, the grid lines fall on round values (1, 2 or 5 times a power of ten)
// and on round times of the clock, the stamps read as calendar seconds, in
// place of the even divisions, and ValueTicks and TimeTicks say where, for
// the caller's axis labels. GetRangeTempsAtX hands back the stamp found at
// a fraction of the history.
class Tplot_time : public QWidget {
 public:
  // History length of a new plot; its stores exist from the start.
  static constexpr int kDefaultHistoryLength = 100;

  explicit Tplot_time(QWidget* parent = nullptr);
  ~Tplot_time() override;

  Tplot_time(const Tplot_time&) = delete;
  Tplot_time& operator=(const Tplot_time&) = delete;

  // Forgets the stored samples (Count = 0). Stores, ranges and the image stay
  // as they are; the picture is not marked for redraw.
  void ClearContent();
  // Replaces the stores by n zero-filled ones and starts an empty history.
  // Lengths below 2 are ignored.
  void SetHistoryLength(int n);
  // Appends one sample, dropping the oldest when the history is full, and
  // repaints.
  void AddSample(double value, double time);
  // Moves samples 1 .. Count-1 down by one place, dropping sample 0.
  void shiftHistory();
  // True when the range in use changed since the last call; clears the flag.
  bool YScaleChangedSinceLastCheck();

  void SetAutoScaleY(bool on);
  void SetManualYScaleLow(double v);
  void SetManualYScaleHigh(double v);
  void Set_x_grid_nbr(int n);
  void Set_y_grid_nbr(int n);
  void SetGridColor(const QColor& c);
  void SetBGColor(const QColor& c);
  void SetWVColor(const QColor& c);
  void SetBorderColor(const QColor& c);
  // Grid lines on round values and times (on), or on the even divisions
  // (off, the default).
  void SetRoundGrid(bool on);
  bool RoundGrid() const { return round_grid_; }
  // The reader's unit of the value ticks: a value v reads as v * scale +
  // offset (scale > 0), and the round grid's values are round in that unit,
  // down to steps of `least` of it. Ticks keep their values in the plot's
  // own unit. The default (1, 0, 0.01) is the plot's own unit.
  void SetTickUnit(double scale, double offset, double least);

  // A place on an axis: a value with its pixel row, or a time with its
  // pixel column.
  struct Tick {
    double at;
    int pixel;
    bool operator==(const Tick& other) const { return at == other.at && pixel == other.pixel; }
  };
  // The round values within the range in use, from the highest down, at
  // most one per kRowsPerTick rows, with the rows they are drawn on.
  std::vector<Tick> ValueTicks() const;
  // The round times of the clock within the history, from the oldest, at
  // most one per kColumnsPerTick columns, with the columns they fall on
  // (between the columns of the samples around them).
  std::vector<Tick> TimeTicks() const;
  static constexpr int kRowsPerTick = 32;
  static constexpr int kColumnsPerTick = 100;

  // The time stamp at fraction x (0 = oldest, 1 = newest) of the history;
  // 0.0 when the plot holds no sample.
  double GetRangeTempsAtX(double x) const;
  // The vertical range the plot draws (autoscaled or manual).
  double GetRangeYLow() const { return display_y_low_; }
  double GetRangeYHigh() const { return display_y_high_; }
  // The off-screen picture, as last drawn; null while the plot has not yet
  // drawn at its present size (a plot that only waited in a hidden window).
  const QImage& GetBitmap() const { return image_; }

  // Recomputes the span of the stored values and, under autoscale, the range
  // in use.
  void GetArrayRange();
  // Brings the image up to date (new size, pending redraw) and schedules the
  // copy to the screen. Inside a hidden window the redraw waits for the
  // window to show.
  void Paint();
  // Derives the value-to-row and sample-to-column mapping from the range in
  // use and the size.
  void UpdateDrawScaling();
  // Rows of the entry, exit, smallest and largest value of samples
  // first .. last, for one column of the compressed drawing. Virtual so that
  // a test can watch the spans the drawing asks for.
  virtual void MinMaxInOut(int first, int last);
  // Redraws the image now and clears the redraw mark (nothing when the plot
  // itself is hidden).
  void DrawComponent();

  QColor BackColor() const { return back_color_; }
  QColor WaveColor() const { return wave_color_; }
  QColor BorderColor() const { return border_color_; }
  QColor GridColor() const { return grid_color_; }
  int HistoryLength() const { return history_length_; }
  bool AutoScaleYOn() const { return auto_scale_y_on_; }
  // The manual limits, not the range in use.
  double RangeYLow() const { return range_y_low_; }
  double RangeYHigh() const { return range_y_high_; }
  int GridXdivisions() const { return grid_x_divisions_; }
  int GridYdivisions() const { return grid_y_divisions_; }
  int Count() const { return ring_.Count(); }
  bool NeedsRedraw() const { return needs_redraw_; }
  // Span of the stored values, as last computed.
  double DataYMin() const { return data_y_min_; }
  double DataYMax() const { return data_y_max_; }
  // Stored sample i (0 = oldest); 0.0 outside 0 .. Count-1.
  double ValueAt(int i) const;
  double TimeAt(int i) const;

  // Results of the last MinMaxInOut, as pixel rows.
  int EntryY() const { return entry_y_; }
  int ExitY() const { return exit_y_; }
  int MinY() const { return min_y_; }
  int MaxY() const { return max_y_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  bool HasStores() const { return ring_.Capacity() > 0; }
  // Under autoscale the range in use becomes the span of the stored values;
  // a change of the range in use is noted.
  void ApplyDataRange();
  // The control's own visibility: false only once it was hidden explicitly,
  // whatever its parent's state.
  bool VisibleFlag() const;
  // Follows a move or resize of the control; marks for redraw when needed.
  void SyncGeometry();
  // Redraws the image if it is marked.
  void RedrawIfNeeded();
  // True while the plot sits in a window that is not shown.
  bool InHiddenWindow() const;
  // The whole picture onto a vector device (SVG, PDF, a printer): the same
  // pieces as lines and rectangles.
  void DrawVector(QPainter& painter);
  // Background, border and grid at a size, the same on every device, as
  // rectangles handed to fill (x, y, width, height, colour).
  using RectFill = std::function<void(int, int, int, int, const QColor&)>;
  void DrawFrameAndGrid(const RectFill& fill, int w, int h) const;
  // Pixel row of a value under the current scaling. Pixel positions are
  // limited to kPixelLimit from the origin before they become integers: far
  // enough outside any plot that clipped lines keep their slope inside the
  // picture, and small enough for the rasteriser. Huge and infinite
  // positions land on the limit; so does NaN, above the picture. Inline:
  // the drawing asks for four rows per column.
  static constexpr double kPixelLimit = 100000.0;
  static int ToPixel(double p) {
    if (p > -kPixelLimit && p < kPixelLimit) return static_cast<int>(p);  // toward zero
    if (p >= kPixelLimit) return static_cast<int>(kPixelLimit);
    return -static_cast<int>(kPixelLimit);  // NaN or far below
  }
  int RowOf(double v) const { return ToPixel(y_offset_ + y_scale_ * v); }
  // The value-to-row and sample-to-column factors for the range in use at
  // a size, as UpdateDrawScaling sets them for the last known size.
  void Scaling(const QSize& size, double& y_scale, double& y_offset, double& x_scale) const;
  // The ticks at a size.
  std::vector<Tick> ValueTicksAt(const QSize& size) const;
  std::vector<Tick> TimeTicksAt(const QSize& size) const;

  QColor grid_color_{128, 128, 128};
  QColor border_color_{255, 0, 0};
  QColor back_color_{0, 0, 0};
  QColor wave_color_{255, 255, 255};
  int history_length_ = 10;  // until the constructor has the stores
  bool auto_scale_y_on_ = true;

  double display_y_low_ = 0.0;
  double display_y_high_ = 0.0;
  double data_y_min_ = 0.0;
  double data_y_max_ = 0.0;
  // Whether DataYMin and DataYMax are the span of the values stored now
  // (they stay as they were while no number is stored).
  bool range_of_stores_ = false;
  double range_y_low_ = 0.0;
  double range_y_high_ = 0.0;
  bool scale_changed_ = true;
  int grid_x_divisions_ = 0;
  int grid_y_divisions_ = 0;
  bool needs_redraw_ = false;
  bool round_grid_ = false;
  double tick_scale_ = 1.0, tick_offset_ = 0.0, tick_least_ = Taxis_ticks::kLeastValueStep;
  Tsample_ring ring_;

  QRect last_geometry_;
  QImage image_;

  double y_offset_ = 0.0;
  double y_scale_ = 0.0;
  double x_offset_ = 0.0;
  double x_scale_ = 0.0;
  int exit_y_ = 0;
  int min_y_ = 0;
  int max_y_ = 0;
  int entry_y_ = 0;
};

#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <ctime>
#include <functional>
#include <vector>

#include "windows/Barograph_columns.h"

class QMouseEvent;
class QPainter;
class QPaintEvent;

// One panel of the barograph: a quantity of the barograph's columns drawn
// against time, each pixel column from its least to its greatest value, in
// the colours of the chart window (yellow on navy). Hour and day lines run
// across the plot at local time, a value scale stands on its left and, where
// asked for, the hours and each day's weekday and date stand under it.
// Columns without samples stay empty: a gap in the record is never bridged.
//
// Like the other drawn components it draws into an off-screen image, at the
// device pixel ratio of its screen (a one-pixel line is one device pixel at
// ratio 1 and two at ratio 2), only when marked and only while it is shown,
// and copies the image to the screen on every paint.
class Tbarograph_plot : public QWidget {
 public:
  // Space around the plot area inside the widget.
  static constexpr int kLeft = 52;
  static constexpr int kTop = 8;
  static constexpr int kRight = 14;
  static constexpr int kBottom = 8;
  static constexpr int kTimeLabels = 42;  // under the plot, when shown

  // Which quantity of the columns is drawn: the members that hold its least
  // and greatest value, the least span the scale shows, the value it is
  // centred on while there is nothing to show, and whether its automatic
  // scale sets aside the outermost minutes (see kTrimmed).
  struct Quantity {
    double Tbarograph_columns::Column::*least;
    double Tbarograph_columns::Column::*greatest;
    double min_span;
    double typical;
    bool trimmed = false;
  };
  // The share of the minutes shown, at each end, that an automatic scale of
  // a trimmed quantity sets aside when they lie far beyond the others: a
  // minute of a wrong altitude must not squeeze a month of weather into a
  // few pixels.
  static constexpr double kTrimmed = 0.001;
  // A column with values beyond the scale, marked by a small arrow at the
  // edge they lie beyond.
  struct OffScale {
    int column;
    bool above;
  };
  static const Quantity kPressure;
  static const Quantity kTemperature;

  Tbarograph_plot(const Tbarograph_columns& columns, const Quantity& quantity, int plot_height,
                  bool time_labels, QWidget* parent = nullptr);

  // Fits the widget to the columns (one pixel each) and to a plot area of
  // `plot_height` rows (at least kLeastPlotHeight), and marks the picture
  // for redraw; called after the columns' count changed as well.
  void SetPlotSize(int plot_height);
  static constexpr int kLeastPlotHeight = 40;
  // Marks the picture for redraw and draws it now if the plot is shown.
  void Paint();
  // Draws the picture now, shown or not.
  void DrawComponent();
  // The picture as last drawn.
  const QImage& GetBitmap() const { return image_; }
  // Gives back the picture and the time grid; the next paint draws anew.
  void Release();

  // The value scale (ends in the scale's unit): automatic (the default), or
  // fixed from low to high (in the columns' unit)
  // like a drum barograph's paper. A fixed scale needs low < high, both
  // finite; anything else leaves the scale as it was. Each redraws.
  void SetAutoScale();
  void SetFixedScale(double low, double high);
  bool IsFixedScale() const { return fixed_; }
  // The reader's unit of the scale: a value v of the columns reads as
  // v * scale + offset (scale > 0), written with `decimals` places. The
  // scale's lines fall on round numbers of that unit, down to its last
  // place where that is finer than 0.01, and read with its places (more
  // where the step needs them). Redraws.
  void SetUnit(double scale, double offset, int decimals = 2);
  // A value of the columns in the scale's unit.
  double Shown(double v) const { return v * unit_scale_ + unit_offset_; }
  double ScaleLow() const { return scale_low_; }
  double ScaleHigh() const { return scale_high_; }
  // The texts under the plot as last laid out: hours, weekdays, dates and
  // months, from the left within each row.
  std::vector<QString> TimeLabelTexts() const;
  // The arrows of the picture as last drawn, from the left.
  const std::vector<OffScale>& OffScaleMarks() const { return off_scale_; }
  static const QColor kOffScaleColor;

  // Thin vertical ticks over the values at these columns: the changes of
  // the altitude setting, after which the sea-level pressure comes from
  // another altitude. Marks the picture for redraw (Paint draws it).
  void SetTicks(std::vector<int> columns);
  const std::vector<int>& Ticks() const { return ticks_; }
  static const QColor kTickColor;

  // Device pixels per logical pixel of the picture; 0 (the default) takes
  // the ratio of the screen the plot is on.
  void SetPixelRatio(qreal ratio);
  qreal PixelRatio() const;

  // The column under the mouse, marked by a thin line (-1: none). Only the
  // screen copy shows it; the picture stays as drawn.
  void SetCursorColumn(int column);
  int CursorColumn() const { return cursor_column_; }
  // Called with the column under the mouse as it moves, -1 when it leaves.
  std::function<void(int)> on_hover;

  // The column at widget x; -1 outside the plot area.
  int ColumnAtX(int x) const;
  // The plot area inside the widget.
  QRect PlotRect() const { return QRect(kLeft, kTop, columns_.Count(), plot_height_); }
  // The pixel row of a value of the columns on the scale as last drawn
  // (plot-area row, 0 at the top); of a value in the scale's unit.
  int RowOf(double v) const { return RowOfShown(Shown(v)); }
  int RowOfShown(double v) const;
  // The finest step of the scale's lines, in the scale's unit.
  double LeastStep() const;
  // The scale's lines as last laid out, from the lowest: each value in the
  // scale's unit and its label.
  struct ScaleLine {
    double value;
    QString text;
  };
  std::vector<ScaleLine> ScaleLines() const;

  // Calendar second t in local time, as the barograph's texts show it:
  // "Tue 8 Dec 2026 14:32", or "14:32" without the date; empty when t has
  // no local time.
  static QString TimeText(std::time_t t, bool with_date = true);

  static const QColor kBackColor;
  static const QColor kWaveColor;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // A vertical line of the time grid, at plot column x.
  struct Mark {
    int x;
    bool day;       // local midnight; otherwise a whole hour
    QString label;  // hour text under the line, or empty
  };
  // The local days that the range touches, with the columns they cover.
  struct Day {
    int x0, x1;
    std::tm date;
  };
  // A text under the plot, centred in its box.
  struct Label {
    QRect box;
    QString text;
  };
  void UpdateScale();
  // The hour and day lines of the range, and their labels; made anew only
  // when the range moved.
  void UpdateTimeGrid();
  void LayOutTimeLabels(const std::vector<Day>& days);
  void DrawGrid(QPainter& painter);
  void DrawValues();
  // The margins, grid, border and texts: all but the values.
  void DrawFrame(QPainter& painter);
  // The whole picture onto a vector device (SVG, PDF, a printer).
  void DrawVector(QPainter& painter);
  void DrawOffScaleMarks(QPainter& painter);
  void DrawTicks(QPainter& painter);
  // Calls draw(column, top row, bottom row) for each column with values,
  // as the trace is drawn: joined to its neighbours, clipped to the plot.
  template <typename Draw>
  void ForEachValueSpan(Draw draw) const;

  const Tbarograph_columns& columns_;
  Quantity quantity_;
  int plot_height_;
  bool time_labels_;
  bool needs_redraw_ = true;
  qreal pixel_ratio_ = 0;
  int cursor_column_ = -1;
  QImage image_;

  // In the scale's unit.
  double scale_low_ = 0, scale_high_ = 1, scale_step_ = 1;
  double unit_scale_ = 1, unit_offset_ = 0;
  int unit_decimals_ = 2;
  // The time grid of the range it was made for.
  std::time_t grid_start_ = -1, grid_end_ = -1;
  int grid_count_ = 0;
  std::vector<Mark> marks_;
  std::vector<Label> labels_;
  bool has_values_ = false;
  bool fixed_ = false;
  double fixed_low_ = 0, fixed_high_ = 0;
  std::vector<OffScale> off_scale_;
  std::vector<int> ticks_;
  bool scaled_ = false;  // the scale was set once
};

#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

// A vertical column of equal segments lit from the bottom up, showing one
// number between YLowRange and YHighRange like a segmented LCD bar. The whole
// picture is drawn into an off-screen image owned by the control; the image is
// redrawn only when a property changed or the control's size changed, and is
// copied to the screen on every paint.
class Tlcd_bar : public QWidget {
 public:
  explicit Tlcd_bar(QWidget* parent = nullptr);

  void Set_Enable(bool enable);
  void Set_LowRange(double low);
  void Set_HighRange(double high);
  void Set_NbrSegments(int count);
  void Set_BGColor(const QColor& color);
  void Set_FGColor(const QColor& color);
  void Set_BDColor(const QColor& color);
  void Set_Value(double value);

  bool EnableDisplay() const { return enable_display_; }
  double YLowRange() const { return y_low_range_; }
  double YHighRange() const { return y_high_range_; }
  int NbrOfSegments() const { return nbr_of_segments_; }
  QColor BackGroundColor() const { return background_color_; }
  QColor ForeGroundColor() const { return foreground_color_; }
  QColor BorderColor() const { return border_color_; }
  double BarValue() const { return bar_value_; }

  // Redraws the off-screen image if needed (a property or the size changed),
  // then schedules the copy to the screen.
  void Paint();
  // The off-screen image as last drawn.
  const QImage& GetBitmap() const { return bitmap_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Lays the image out again when the control's size differs from the size
  // it was last laid out at, then redraws it when the redraw flag is set.
  void UpdateBitmap();
  void LayOut();
  void Rescale();
  void DrawComponent();
  int LitSegments() const;

  bool enable_display_ = true;
  double y_low_range_ = 0.0;
  double y_high_range_ = 100.0;
  int nbr_of_segments_ = 1;
  QColor background_color_{0, 0, 0};
  QColor foreground_color_{255, 0, 0};
  QColor border_color_{0, 255, 0};
  double bar_value_ = 0.0;

  QImage bitmap_;
  int laid_out_width_ = 0;
  int laid_out_height_ = 0;
  bool redraw_needed_ = false;
  int segment_height_ = 0;
};

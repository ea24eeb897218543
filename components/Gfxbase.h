#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

// Draws a one-pixel line of the given colour straight into the image, from
// pixel `from` towards pixel `to`, leaving out the pixel `to` itself. The
// pixels are the ones nearest to the exact line, one per step along the
// longer axis; pixels outside the image are skipped.
// In an image of device pixel ratio r (a window on a high-density screen)
// the points are in logical pixels and the line is drawn at device
// resolution, round(r) device pixels thick, so it is as sharp as at ratio 1.
void DrawLineExcludingEnd(QImage& image, QPoint from, QPoint to, const QColor& color);
// The same line with its end pixel.
void DrawLine(QImage& image, QPoint from, QPoint to, const QColor& color);

// An image of `width` x `height` logical pixels for drawing at device pixel
// ratio `ratio`: ratio times as many pixels, carrying the ratio, so that a
// painter on it draws in logical pixels at the device's resolution.
QImage DeviceImage(int width, int height, qreal ratio);

class QPainter;
// Copies the part `rect` (logical pixels) of a device image to the same
// place of the painter's surface.
void CopyToScreen(QPainter& painter, const QRect& rect, const QImage& image);

// Base of the graphic controls: a control with three colours and an integer
// state that draws itself into an off-screen image it owns. The image is
// redrawn only when a setter changed something or the control's size
// changed, and is copied to the screen on every paint.
class Tgfxbase : public QWidget {
 public:
  explicit Tgfxbase(QWidget* parent = nullptr);

  void Set_BGColor(const QColor& color);
  void Set_DColor(const QColor& color);
  void Set_FGColor(const QColor& color);
  virtual void Set_State(int state);
  // Moves the control to (x, y) in its parent and paints it.
  void Set_Location(int x, int y);

  QColor BackGroundColor() const { return background_color_; }
  QColor DrawColor() const { return draw_color_; }
  QColor ForeGroundColor() const { return foreground_color_; }
  int State() const { return state_; }

  // Brings the image up to date (laid out again after a change of size,
  // redrawn when needed), then schedules the copy to the screen.
  virtual void Paint();
  // The off-screen image as last drawn.
  const QImage& GetBitmap() const { return bitmap_; }

 protected:
  // Records the control's current size and resizes the image to it.
  virtual void NewDimensions();
  // Draws the whole picture into the image: here, the background only.
  virtual void DrawComponent();

  // Lays out after a change of size and redraws when the flag is set.
  void UpdateBitmap();
  void paintEvent(QPaintEvent* event) override;

  QImage& Bitmap() { return bitmap_; }
  int LaidOutWidth() const { return laid_out_width_; }
  int LaidOutHeight() const { return laid_out_height_; }
  void SetRedrawNeeded() { redraw_needed_ = true; }
  void StoreState(int state) { state_ = state; }

 private:
  QColor background_color_{0, 0, 0};
  QColor draw_color_{0, 255, 0};
  QColor foreground_color_{0, 128, 128};
  int state_ = 0;

  QImage bitmap_;
  int laid_out_width_ = 0;
  int laid_out_height_ = 0;
  bool redraw_needed_ = false;
};

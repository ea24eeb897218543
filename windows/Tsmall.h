#pragma once

#include <QString>
#include <QWidget>

#include "atmosphere/Units.h"

class QCloseEvent;
class QFrame;
class QLabel;
class Twindow_place;

// The small tool window that stands in for the main window in small-window
// mode: weather picture, trend arrow, temperature and pressure. It has no
// logic of its own; the main window fills, places, shows and hides it.
class TWsmall : public QWidget {
 public:
  explicit TWsmall(QWidget* parent = nullptr);
  ~TWsmall() override;

  // Window position in screen pixels (the frame's top-left corner). SetX and
  // SetY truncate toward zero; NaN gives 0 and huge values are held at the
  // widest coordinate a window can take.
  void SetX(double x);
  void SetY(double y);
  double GetX() const;
  double GetY() const;

  // Click on any of the eleven pictures: back to the main window.
  void Panel1Click();
  // Close request (close box, Alt+F4): asks the main window whether to quit.
  void OnClose();

  // The temperature [deg C] and the local pressure [mbar], in the units.
  void ShowTemperature(double celsius, TemperatureUnit unit);
  void ShowPressure(double mbar, PressureUnit unit);
  // The storm warning's line under the panels (the window grows by it);
  // an empty text takes it away.
  void ShowStormWarning(const QString& text);

  // Weather pictures, stacked at the same place; at most one is visible.
  QLabel* img_rainsnow = nullptr;
  QLabel* img_snow = nullptr;
  QLabel* img_couvert = nullptr;
  QLabel* img_variable = nullptr;
  QLabel* img_sunny = nullptr;
  QLabel* img_rainy = nullptr;
  // Trend arrows; at most one is visible.
  QLabel* img_unch = nullptr;
  QLabel* img_quick_up = nullptr;
  QLabel* img_quick_down = nullptr;
  QLabel* img_slow_down = nullptr;
  QLabel* img_slow_up = nullptr;

  QLabel* lbcelsius = nullptr;
  QLabel* lbpresssea = nullptr;
  QLabel* lb_storm = nullptr;

  QFrame* weather_panel = nullptr;
  QFrame* trend_panel = nullptr;
  QFrame* temperature_panel = nullptr;
  QFrame* pressure_panel = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Twindow_place* place_ = nullptr;
  QLabel* AddPicture(QWidget* panel, const QString& asset, const QRect& geometry);
};

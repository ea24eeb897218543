#pragma once

#include <QWidget>
#include <cstdint>

class QCloseEvent;
class QLabel;
class Tplot_time;

// The "Data recorder" window. It receives every measurement from the main
// window, shown or hidden, and keeps the last hour of pressure, altitude and
// temperature in its plots. The axis labels, the altitude view, the range
// settings and the data log come with the rest of the chart work.
class TWchart : public QWidget {
 public:
  explicit TWchart(QWidget* parent = nullptr);
  ~TWchart() override;

  // One new sample: raw D1 and D2, local pressure [mbar], temperature [deg C]
  // and the altitude the main window shows [m], stamped with the calendar
  // time and added to the three plots.
  void AddMeasurement(int32_t d1, int32_t d2, double pressure, double temperature, double altitude);
  // Puts the plots and the range dialog into autoscale mode (start-up).
  void ResetToAutoscale();
  // Reapplies the view; force redraws even when the view did not change.
  void RefreshView(bool force);

  // Hides the window and clears the main window's "View Chart" mark.
  void OnClose();

  int MeasurementCount() const { return measurement_count_; }

  Tplot_time* pressure_plot = nullptr;
  Tplot_time* altitude_plot = nullptr;  // at the same place, hidden
  Tplot_time* temperature_plot = nullptr;
  QLabel* lb_p = nullptr;
  QLabel* Label2 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  int measurement_count_ = 0;
};

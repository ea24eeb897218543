#pragma once

#include "station/Tstation.h"

#include <QMainWindow>
#include <QRect>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "chart/Plot_time.h"
#include "components/Chart_picture.h"
#include "station/Tdata_log.h"

class QAction;
class QActionGroup;
class QCloseEvent;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QShowEvent;
class QTimer;
class QPainter;
class Tclient_area;
class Tplot_time;

// The "Data recorder" window. It receives every measurement from the main
// window, shown or hidden, and keeps the last hour of pressure, altitude and
// temperature in its plots: the upper chart shows the pressure or the
// altitude, the lower one the temperature, each with four time labels under
// it and four value labels beside it. It switches the data log (a sink of
// the station of its own) on and off and shows its state, and opens the
// display-range dialog.
//
// While the window is hidden its plots record but do not draw, and its
// labels are left as they are; showing it draws each shown plot from its
// samples as they are then and brings the labels up to date.
class TWchart : public QMainWindow, public TstationSink {
 public:
  // Text of a time label for calendar second t (local time, e.g.
  // "Feb 20 10:44:55 2001\n"); empty when t has no local time.
  static QString FormatTimeLabel(double t);
  // Local date and time as "YYYY-MM-DD HH:MM:SS"; empty when t has none.
  static std::string DateTimeText(std::time_t t) { return Tdata_log::DateTimeText(t); }
  // Where the time labels go, each `width` pixels wide: centred under its
  // tick's column (`centres`, from the left, in the panel's pixels) and
  // kept 2 pixels inside a panel `panel_width` wide. A label that would
  // overlap the one kept before it is left out: the last one, pushed left
  // off its grid line by the panel's edge, most of all. The index of each
  // tick kept, with its label's left edge.
  struct TimeLabelPlace {
    size_t tick;
    int left;
  };
  static std::vector<TimeLabelPlace> PlaceTimeLabels(const std::vector<int>& centres,
                                                     int panel_width, int width);

  explicit TWchart(QWidget* parent = nullptr);
  ~TWchart() override;

  // One new sample: local pressure [mbar], temperature [deg C] and the
  // altitude the main window shows [m], stamped with the calendar time,
  // added to the three plots and shown in the labels.
  void AddMeasurement(double pressure, double temperature, double altitude);
  // The same at calendar second `now`.
  void AddMeasurement(std::time_t now, double pressure, double temperature, double altitude);
  // The station's good samples, as the main window shows their altitude;
  // the record's last hour at the first one.
  void OnSample(const Sample& sample) override;
  void OnHistoryRefilled(std::time_t now) override;
  // Puts the plots and the range dialog into autoscale mode (start-up).
  void ResetToAutoscale();
  // Applies the view (plot, captions, value labels) when it changed or when
  // forced, then brings the shown plots and their labels up to date.
  void RefreshView(bool force);
  // The captions and value labels again in the reader's units (the plots
  // hold mbar and deg C).
  void ShowUnits();

  void UpdatePressureTimeLabels();
  void UpdateAltitudeTimeLabels();
  void UpdateTemperatureTimeLabels();
  void UpdatePressureValueLabels();
  void UpdateAltitudeValueLabels();
  void UpdateTemperatureValueLabels();

  // ---- Commands and events ----
  void OnShow();
  // The close box: hides the window and clears the main window's "View
  // Chart" mark.
  void OnClose();
  void Hide1Click();
  void PressureTemperature1Click();
  void AltitudeTemperature1Click();
  // "Clear Charts".
  void Button1Click();
  void Setupdisplayrange1Click();

  // ---- Picture ----
  // Both charts as they show (without the buttons below them): saved as
  // PNG at the screen's pixel density or as SVG, copied, or printed fitted
  // to a landscape page under a line with the range and the present value.
  void Savepicture1Click();
  void Copy1Click();
  void Print1Click();
  // The header line of the printed page: the times of the oldest and the
  // newest sample charted, and the present value.
  QString PictureHeader() const;
  Tchart_picture picture;
  std::string picture_file_name = "chart.png";

  // ---- Data log ----
  void Storesamplestofile1Click();
  void Enddatalogging1Click();
  // End of the "REC" blink.
  void OnTimer();
  // Closes an open log (the window is going).
  void OnDestroy();
  bool IsLogging() const { return data_log.IsLogging(); }
  // The data log, registered with the station beside this window.
  Tdata_log data_log;

  int MeasurementCount() const { return measurement_count_; }

  // 0: pressure + temperature, 1: altitude + temperature.
  uint8_t View = 0;
  // The view whose plots and captions were last applied.
  uint8_t ShownView = 1;
  // The name the save dialog offers; the last one chosen.
  std::string log_file_name = "samples.dat";

  Tclient_area* client = nullptr;  // the client area, 654 x 522 at first
  QFrame* Panel2 = nullptr;        // upper chart
  Tplot_time* pressure_plot = nullptr;
  Tplot_time* altitude_plot = nullptr;  // at the same place, one shown at a time
  QLabel* lb_press = nullptr;
  // The upper chart's value labels, from the top, and time labels, from the
  // oldest; as many show as the shown plot has ticks, the others are hidden.
  std::vector<QLabel*> lb_pvalue;
  std::vector<QLabel*> lb_ptime;
  QLabel* lb_p = nullptr;
  QFrame* Panel1 = nullptr;  // lower chart
  Tplot_time* temperature_plot = nullptr;
  QLabel* Label3 = nullptr;
  std::vector<QLabel*> lb_tvalue;
  std::vector<QLabel*> lb_ttime;
  QLabel* Label2 = nullptr;
  QLabel* lb_rec = nullptr;
  QPushButton* Button1 = nullptr;

  QMenuBar* MainMenu1 = nullptr;
  QMenu* File1 = nullptr;
  QMenu* Tools1 = nullptr;
  QAction* Storesamplestofile1 = nullptr;
  QAction* Enddatalogging1 = nullptr;
  QAction* Savepicture1 = nullptr;
  QAction* Copy1 = nullptr;
  QAction* Print1 = nullptr;
  QAction* Hide1 = nullptr;
  QAction* Setupdisplayrange1 = nullptr;
  QActionGroup* ViewGroup1 = nullptr;
  QAction* PressureTemperature1 = nullptr;
  QAction* AltitudeTemperature1 = nullptr;

  QTimer* timer_rec = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 public:
  // The least client area: room for both charts with a few ticks each.
  static constexpr int kLeastWidth = 480;
  static constexpr int kLeastHeight = 380;
  // Places the panels, plots, titles and buttons for the client area's
  // present size: the plots take all the width and height the panels get.
  void LayOut();

 private:
  void BuildMenu();
  // The time labels, and the value labels whose plot changed its scale,
  // after a new sample.
  void UpdateLabelsOfSample();
  // What a group of time labels was last made from: the plot, its ticks
  // and place, and the panel's width. The same again needs no label work.
  struct TimeLabelsMade {
    const Tplot_time* plot = nullptr;
    std::vector<Tplot_time::Tick> ticks;
    QRect place;
    int panel_width = -1;
  };
  // Shows the time of each of a plot's time ticks under it, in the labels
  // of `labels` (made in `panel` as needed), unless they show them already.
  static void UpdateTimeLabels(const Tplot_time* plot, std::vector<QLabel*>& labels, QWidget* panel,
                               TimeLabelsMade& made);
  // Shows the value of each of a plot's value ticks beside it.
  // Through `shown` (the reader's unit) with `shown_decimals` places, when
  // given.
  static void UpdateValueLabels(const Tplot_time* plot, std::vector<QLabel*>& labels,
                                QWidget* panel, double (*shown)(double) = nullptr,
                                int shown_decimals = 2);
  // Logging ended by a failure: the window idle at once, the message
  // shown once the tick that found it is over.
  void LoggingStopped(const std::string& message);

  void SetUpPicture();
  // Draws both panels onto painter, at its origin.
  void RenderPicture(QPainter& painter) const;

  TimeLabelsMade ptime_made_, ttime_made_;
  int measurement_count_ = 0;
  // The last measurement, for the present value.
  double last_pressure_ = 0, last_temperature_ = 0, last_altitude_ = 0;
  // The station this window is a sink of.
  Tstation* station_ = nullptr;
};

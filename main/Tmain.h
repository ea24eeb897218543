#pragma once

#include <QColor>
#include <QMainWindow>
#include <QString>
#include <QWidget>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "atmosphere/Storm_warning.h"
#include "atmosphere/Tmeteo.h"
#include "atmosphere/Units.h"
#include "components/Number_text.h"
#include "config/Tsetup_ini.h"
#include "station/Tstation.h"

class QAction;
class QCloseEvent;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPaintEvent;
class QTabWidget;
class QTimer;
class TWchart;
class TWport;
class TWsmall;
class Tlcd_bar;
class Tsensor;
struct ReadingSettings;
struct Tsensor_wc;

// A plain drawn shape with a brush colour and no outline: the glass and the
// mercury of the thermometer, the arrow bar of the altitude drawing, and the
// level lines. A circle takes the smaller side as its diameter and sits in
// the middle of the shape's rectangle. A top line is a two-pixel engraved
// line along the top edge (the brush colour is not used).
class TShape : public QWidget {
 public:
  enum class Kind { Rectangle, Circle, TopLine };

  TShape(Kind kind, const QColor& brush, QWidget* parent);

  Kind ShapeKind() const { return kind_; }
  QColor BrushColor() const { return brush_; }
  // Repaints only when the colour changes.
  void SetBrushColor(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Kind kind_;
  QColor brush_;
};

// The main window: a view of the station. Timer1 drives the station's tick;
// the window shows every sample on the barometer and altimeter pages and in
// the small window, reads and writes the settings file through the station,
// and holds the main menu and the quit path. It receives the weather
// object's reports.
class TWmain : public QMainWindow, public TmeteoDisplay, public TstationSink {
 public:
  // Marks the value a display has not shown yet.
  static constexpr double kNothingShown = -9999999;

  // A view of Program().station; without one (a window made alone) it makes
  // a station of its own on Program().sensor and Program().clock. Sets
  // Program().Wmain_alive.
  explicit TWmain(QWidget* parent = nullptr);
  ~TWmain() override;

  // ---- Measurement cycle ----
  // One tick of the station: its measurement step and, after a new sample,
  // the fan-out that this window shows; the timer is off meanwhile and back
  // on afterwards unless quitting.
  void OnTimer();
  // The station's sample, shown.
  void OnSample(const Sample& sample) override;
  // The derived values in force shown: sea-level pressure, altitude,
  // weather, minima and maxima, the altitude setting.
  void ShowDerived();
  // The settings, the forced first sample taken with them, the first
  // refresh, then the main or the small window shown as the settings say.
  // The settings come from "setup.ini" at the first start; after a
  // detection started again from the menu, the ones kept by KeepSettings
  // are put back instead, so that what the user set in this session stays
  // in force.
  void StartMeasuring(bool load_file = true);
  // Keeps the settings that a detection resets (n, ts, the local altitude)
  // for the next StartMeasuring(false).
  void KeepSettings();
  // Whether the sensor's last sequence is data: no error flag, and pressure
  // and temperature where the module gives readings (its rated range
  // 300..1100 mbar, -40..85 deg C, and 20 mbar and 5 deg C beyond; a word
  // whose tail floats high has no error flag).
  static bool IsGoodSample(const Tsensor& sensor);
  // The station's fan-out of the sample just taken.
  void UpdateMeasurement();
  // The minima and maxima the station tracks, shown in the units in force.
  void ShowMinMax();
  // Every minimum and maximum restarts from the present value.
  void ClearMinMax();
  // Shows a box from the event loop, once the tick or the loading that asked
  // for it has ended: the measurement timer runs on behind the box, so a box
  // nobody answers (an unattended start) holds nothing up. Boxes asked for
  // meanwhile follow in order.
  void ShowLater(std::function<void()> show);

  // ---- Pressure record ----
  // The record's box, if it has one, shown later (ShowLater).
  void ShowArchiveNotice();
  // Hands the station's last sample to the publisher (if any).
  void PublishSample();

  // ---- Storm warning ----
  // The warning line under the pages and on the small window, while a
  // warning is up; both windows grow by the line and give it back after.
  void ShowStormWarning();
  // "Storm warning: \u22124.6 mbar in 3 h since 14:20", in the pressure unit.
  QString StormWarningText() const;
  // The same for a fall [mbar] reached at calendar second `since`, and the
  // text without its "Storm warning: " (the desktop notification's).
  static QString StormWarningText(double fall, std::time_t since);
  static QString StormChangeText(double fall, std::time_t since);

  // ---- Units and corrections ----
  // Every pressure and temperature shown again in the units in force, here
  // and in the small window, the chart, its range dialog and the barograph.
  void ShowUnits();
  // Puts new reading settings in force, keeps them in barometer.ini and
  // shows what they change; a new pressure correction moves the altimeter's
  // reference with it, so the altitude shown stays.
  void ApplyReadingSettings(const ReadingSettings& settings);

  // Calibration record pass-throughs to the sensor (null record ignored).
  void GetCalibration(Tsensor_wc* record);
  void SetCalibration(const Tsensor_wc* record);
  void ReadCalibrationFromModule(Tsensor_wc* record);

  // ---- Displays ----
  void InitDisplays();
  void InitAltitudeDisplay();
  void InitTemperatureDisplay();
  void ShowPressure(double p);
  void ShowTemperature(double t);
  // "--" in the local pressure, sea-level pressure and temperature displays
  // of this and the small window, until the next good sample.
  void ShowReadingFailed();
  void ShowAltitude(double a);
  void ShowWeather();
  void ShowHistoryRange(double low, double high) override;
  void ShowHistoryBar(int index, double value) override;
  void ShowTrend(TrendClass trend, double variation) override;

  // ---- Settings ----
  // Index-addressed settings 1..16 (config/Tsetup_ini.h): the station's,
  // and the window's own 13..16.
  void SetParameter(uint8_t index, double value);
  double GetParameter(uint8_t index);
  // Applies the three weather limits together, in an order the weather
  // object's guards accept. A set that is not strictly ordered
  // (sunny > variable > overcast) changes nothing; returns whether applied.
  bool SetWeatherLimits(double sunny, double variable, double overcast);
  void LoadSettings(const std::string& name);
  // After a set of settings was applied (loading_settings on while it was):
  // restarts the minima and maxima, refreshes, and takes the sample a new ts
  // asked for (the station's).
  void SettingsApplied();
  // Saves the settings in force, or shows why they could not be saved.
  void SaveSettings(const std::string& name);
  // The same without a box: "" when saved, else the message with its
  // reason ("Error : Unable to open output file setup.ini: No space left on
  // device").
  std::string SaveSettingsFile(const std::string& name);

  // ---- Menu and quit path ----
  // Shows the small window and hides this one when minimized, else the
  // reverse; nothing without the small window.
  void ApplyMinimized();
  // The "Autosave settings on exit" check mark follows save_on_exit.
  void ShowAutosaveCheck();
  // Called by the chart window when it closes itself.
  void UncheckViewChart();
  // Asks "Close application ?"; 2 when the program is to quit (settings
  // saved first when autosave is on, unless settings_file_kept), 0 otherwise.
  int ConfirmClose();
  // The close asked for from outside (a signal, the session manager): as
  // confirmed, without the question, the record committed before the
  // settings are saved; nothing when closing already. Nobody is there to
  // answer a box: a save that fails is told on standard error and in the
  // program's exit status (Program().exit_status).
  void CloseWithoutQuestion();
  // Close request of this window: the window itself never closes.
  void OnClose();

  void DetectmoduleonLPT11Click();
  // The module's port dialog (TWport).
  void Moduleport1Click();
  void Loadsettings1Click();
  void SavesettingsAs1Click();
  void Autosavesettingsonexit1Click();
  // The dialog of publishing to an MQTT broker.
  void PublishtoMQTT1Click();
  void Exit1Click();
  void ViewChart1Click();
  // Shows the barograph window, or brings it to the front.
  void ViewBarograph1Click();
  void Minimize1Click();
  void Settings1Click();
  void MaboutClick();
  // Settings > Units: one pressure unit, one temperature unit.
  void PressureUnit1Click(PressureUnit unit);
  void TemperatureUnit1Click(TemperatureUnit unit);
  // Settings > Corrections...: the corrections and the storm warning.
  void Corrections1Click();
  // The help window, at its top.
  void Helpcontents1Click();

  // ---- State ----
 private:
  // The station of a window made alone (declared before the references).
  std::unique_ptr<Tstation> own_station_;
  static Tstation& StationFor(std::unique_ptr<Tstation>& own);

 public:
  // The storm warning's desktop notification, a sink of the station.
  struct StormNotice : TstationSink {
    void OnSample(const Sample& sample) override;
  } storm_notice;

  // The station this window shows, and its state under the names the
  // window has always used for it.
  Tstation& station;
  std::unique_ptr<Tmeteo>& meteo;
  Tstorm_warning& storm;
  double &p_sea_min, &p_sea_max;
  double &alt_min, &alt_max;
  double &t_min, &t_max;
  double& alt_offset;
  double& sea_offset;
  double& p_sea;
  double& alt_setting;
  double& p_ref;
  double& p_std;
  double& p_local;
  double& t_local;
  bool& altitude_applied;
  bool& has_good_sample;
  bool& last_sample_good;
  bool& loading_settings;
  bool& sample_after_loading;
  bool& minmax_started;
  bool& archive_refill_pending;
  bool& storm_replay_pending;
  bool& starting_;
  bool& settings_applied_pending_;

  // What the window shows.
  uint8_t shown_weather = WeatherNone;
  Precipitation shown_precipitation = Precipitation::kNone;
  uint8_t shown_trend = 5;  // 5: no trend shown
  bool minimized = false;
  bool save_on_exit = true;
  double alt_shown = kNothingShown;
  double px_per_m = 1.0;
  double scale_bottom = 0;
  int32_t range_index = -1;
  double t_shown = kNothingShown;
  double p_shown = 0;
  bool minimized_pending_ = false;
  // The settings file loaded held no settings at all (random bytes, another
  // kind of file): the autosave leaves it as it is until the user saves
  // settings or changes one.
  bool settings_file_kept = false;
  // Whether the measurement started, with the settings file read (or the
  // settings kept over a new detection) in the window.
  bool settings_taken_ = false;
  // What KeepSettings kept: n, ts and the local altitude.
  double kept_settings[3] = {1, 1, 0};
  bool archive_notice_asked = false;
  // The boxes waiting for the event loop (ShowLater).
  std::vector<std::function<void()>> later_boxes;
  // The hourly variation last shown [mbar/h]; NaN before the first.
  double variation_shown = NAN;

  // The last names chosen in the open and save dialogs ("setup.ini" at
  // first); the save name is also the file written on quitting.
  std::string open_file_name = "setup.ini";
  std::string save_file_name = "setup.ini";

  QTimer* Timer1 = nullptr;

  // ---- Menu ----
  QMenuBar* MainMenu1 = nullptr;
  QMenu* File1 = nullptr;
  QMenu* Plots1 = nullptr;
  QMenu* Settings2 = nullptr;
  QMenu* Help1 = nullptr;
  QAction* DetectmoduleonLPT11 = nullptr;
  QAction* Moduleport1 = nullptr;
  // The port dialog, made when the menu item is first used.
  TWport* Wport = nullptr;
  QAction* Loadsettings1 = nullptr;
  QAction* SavesettingsAs1 = nullptr;
  QAction* Autosavesettingsonexit1 = nullptr;
  QAction* PublishtoMQTT1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* ViewChart1 = nullptr;
  QAction* ViewBarograph1 = nullptr;
  QAction* ClearMinMax1 = nullptr;
  QAction* Minimize1 = nullptr;
  QAction* Settings1 = nullptr;
  QMenu* Units1 = nullptr;
  QAction* PressureUnits1[kPressureUnitCount] = {};
  QAction* Celsius1 = nullptr;
  QAction* Fahrenheit1 = nullptr;
  QAction* Corrections1 = nullptr;
  QAction* Helpcontents1 = nullptr;
  QAction* Mabout = nullptr;

  // ---- Controls ----
  QWidget* client = nullptr;  // the fixed 655 x 396 client area
  // The storm warning's line under it, while a warning is up.
  QLabel* lb_storm = nullptr;
  // Top line.
  QLabel* lb_alti = nullptr;
  QLabel* lb_altifeet = nullptr;
  QLabel* lb_d1 = nullptr;
  QLabel* lb_d2 = nullptr;
  // Right column.
  QGroupBox* gb_pressure = nullptr;
  QLabel* lbpressure = nullptr;
  QLabel* lb_pressure_unit = nullptr;
  QGroupBox* gb_temperature = nullptr;
  TShape* verre1 = nullptr;
  TShape* verre2 = nullptr;
  TShape* verre3 = nullptr;
  TShape* mercure = nullptr;
  TShape* mercure2 = nullptr;
  QLabel* img_scale = nullptr;
  QLabel* lbcelsius = nullptr;
  QLabel* lbfarenheit = nullptr;
  QLabel* lb_tmin = nullptr;
  QLabel* lb_tmax = nullptr;
  // Pages.
  QTabWidget* PageControl1 = nullptr;
  QWidget* sheet_p = nullptr;
  QWidget* sheet_a = nullptr;
  // Barometer page.
  QFrame* Panel4 = nullptr;
  QLabel* img_sunny = nullptr;
  QLabel* img_variable = nullptr;
  QLabel* img_couvert = nullptr;
  QLabel* img_rainy = nullptr;
  QLabel* img_rainsnow = nullptr;
  QLabel* img_snow = nullptr;
  QLabel* Panel5 = nullptr;
  QLabel* pl_trend = nullptr;
  QLabel* lbpresssea = nullptr;
  QLabel* lb_sea_unit = nullptr;
  QLabel* lb_pmin = nullptr;
  QLabel* lb_pmax = nullptr;
  Tlcd_bar* pb16 = nullptr;
  Tlcd_bar* pb8 = nullptr;
  Tlcd_bar* pb4 = nullptr;
  Tlcd_bar* pb2 = nullptr;
  Tlcd_bar* pb1 = nullptr;
  Tlcd_bar* pb0 = nullptr;
  QLabel* lb_var = nullptr;
  QLabel* lb_var_unit = nullptr;
  // Trend arrows of the history panel: part of the layout, never shown.
  QLabel* img_quick_up = nullptr;
  QLabel* img_slow_up = nullptr;
  QLabel* img_unch = nullptr;
  QLabel* img_slow_down = nullptr;
  QLabel* img_quick_down = nullptr;
  // Altimeter page.
  QFrame* altipanel = nullptr;
  QLabel* mountlow = nullptr;
  QLabel* mountmid = nullptr;
  QLabel* mounthigh = nullptr;
  QLabel* lbtop = nullptr;
  QLabel* lbbottom = nullptr;
  TShape* shparrow = nullptr;
  QLabel* imgup = nullptr;
  QLabel* imgdown = nullptr;
  TShape* bvl1 = nullptr;
  TShape* bvl_base = nullptr;
  QLabel* lbmeter = nullptr;
  QLabel* lbfeet = nullptr;
  QLabel* lb_amin = nullptr;
  QLabel* lb_amax = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildLayout();
  void BuildTopLine(QWidget* parent);
  void BuildRightColumn(QWidget* parent);
  void BuildBarometerPage(QWidget* page);
  void BuildAltimeterPage(QWidget* page);
  void BuildMenu();
  // The units' marks in the menu and the units' captions beside the
  // pressures, as Program().readings says (from the start on).
  void ShowUnitChecks();
  // The close from here on: the closing flag set and the timer stopped for
  // good, then the settings saved when `save` and autosave is on (unless
  // settings_file_kept). The message of a save that failed, "" when none
  // did; shown in a box unless `quiet`.
  std::string BeginClose(bool save, bool quiet = false);
  Tlcd_bar* HistoryBar(int index) const;
  // The sensor and the small and chart windows when they exist and are
  // alive; null otherwise.
  Tsensor* Sensor() const;
  static TWsmall* SmallWindow();
  static TWchart* ChartWindow();
};

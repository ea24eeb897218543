#pragma once

#include "station/Tstation.h"

#include <QImage>
#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "components/Chart_picture.h"
#include "windows/Barograph_columns.h"

class QAction;
class QCloseEvent;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPrinter;
class QPushButton;
class QHideEvent;
class QPainter;
class QShowEvent;
class Tarchive;
class Tclient_area;
class Tbarograph_plot;

// The "Barograph" window: the sea-level pressure of the last 24 hours,
// 3 days, 7 days or 30 days read from the pressure record as a drum
// barograph's chart reads, with the temperature in a smaller panel below,
// the present value and the 3-hour tendency with its characteristic.
//
// The picture comes from the archive's minutes, summed up per pixel column
// (Tbarograph_columns), so a week shows every spike of every minute. While
// the window shows the present time it follows each new sample; while it is
// hidden it does nothing, and showing it reads the record afresh. The range
// moves back and forward by its own width; "Now" comes back to the present.
// The File menu writes the minutes of the shown range as CSV.
class TWbarograph : public QMainWindow, public TstationSink {
 public:
  // The spans offered, in seconds: 24 hours, 3, 7 and 30 days.
  static constexpr int kSpanCount = 4;
  static constexpr int kSpans[kSpanCount] = {86400, 3 * 86400, 7 * 86400, 30 * 86400};
  // The fixed pressure scales offered besides "Auto", in mbar, as on the
  // papers of drum barographs.
  static constexpr int kScaleCount = 4;
  static constexpr double kScales[kScaleCount][2] = {
      {950, 1050}, {960, 1040}, {970, 1030}, {980, 1020}};

  // "2026-12-08T14:32:00+01:00": calendar second t as ISO 8601 local time
  // with its offset from UTC; empty when t has no local time.
  static std::string IsoLocalTime(std::time_t t);

  explicit TWbarograph(QWidget* parent = nullptr);
  ~TWbarograph() override;

  // A new good sample at calendar second t: the sea-level pressure [mbar]
  // and the temperature [deg C]. Followed while the window shows.
  void AddSample(std::time_t t, double sea_level_pressure, double temperature);
  // The station's good samples.
  void OnSample(const Sample& sample) override;
  // Reads the shown range from the pressure record and draws it, with the
  // present value and the tendency.
  void Reload();
  // The 3-hour tendency of the pressure record, as the window shows it.
  void UpdateTendency();
  // Captions, scales, read-outs and the tendency in the reader's units (the
  // columns hold mbar and deg C); the export writes in them too.
  void ShowUnits();
  // The time and values of column `column` in lb_cursor, and the cursor
  // line on both plots; -1 clears them.
  void ShowCursor(int column);
  // Where the range shown ends: the present minute while following, else
  // the end of the columns.
  std::time_t ShownEnd() const;

  // ---- Commands and events ----
  // One of the four span buttons: 0 = 24 hours .. 3 = 30 days.
  void SpanClick(int index);
  void bt_backClick();
  void bt_forwardClick();
  void bt_nowClick();
  void Exportshownrange1Click();
  // The chart as a picture (the pressure, temperature and present-value
  // panels as they show, without the controls): saved as PNG at the
  // screen's pixel density or as SVG (lines and text), copied to the
  // clipboard, or printed fitted to a landscape page under a header line
  // with the range and the present value.
  void Savepicture1Click();
  void Copy1Click();
  void Print1Click();
  // The picture at `ratio` device pixels per pixel.
  QImage Picture(qreal ratio) const;
  // Writes the picture to `name`: SVG for a name ending in ".svg", PNG
  // otherwise; false when the file could not be written.
  bool SavePicture(const std::string& name) const;
  // Draws the printed page onto `printer`; false when it could not.
  bool PrintTo(QPrinter& printer) const;
  // The picture and its commands; its choose_printer asks for the printer
  // (the print dialog by default; tests put a PDF file in its place).
  Tchart_picture picture;
  // The pressure scale chosen in cb_scale: 0 is "Auto", the others fixed
  // spans (kScales, then the span of barometer.ini when it is none of them).
  // Kept in barometer.ini.
  void cb_scaleChange(int index);
  void Close1Click();
  void OnShow();
  void OnClose();

  // The range shown: its index in kSpans, and whether its end follows the
  // present time (false after going back).
  int span_index = 0;
  bool following = true;
  Tbarograph_columns columns;
  // The name the export's save dialog offers; the last one chosen.
  std::string export_file_name = "barograph.csv";
  std::string picture_file_name = "barograph.png";

  // The least client area: the controls' row still reads, the plots keep
  // a few hundred columns.
  static constexpr int kLeastWidth = 700;
  static constexpr int kLeastHeight = 480;
  // Places the panels and controls for the client area's present size; the
  // plots take the width (one column per pixel) and height they get.
  void LayOut();

  Tclient_area* client = nullptr;
  QFrame* Panel0 = nullptr;  // range and navigation
  QPushButton* bt_span[kSpanCount] = {};
  QPushButton* bt_back = nullptr;
  QPushButton* bt_now = nullptr;
  QPushButton* bt_forward = nullptr;
  QLabel* lb_range = nullptr;
  QFrame* Panel1 = nullptr;  // sea-level pressure
  QLabel* Label1 = nullptr;
  QLabel* lb_scale = nullptr;
  QComboBox* cb_scale = nullptr;
  Tbarograph_plot* pressure_plot = nullptr;
  QFrame* Panel2 = nullptr;  // temperature
  QLabel* Label2 = nullptr;
  Tbarograph_plot* temperature_plot = nullptr;
  QFrame* Panel3 = nullptr;  // present value, tendency, cursor
  QLabel* lb_now = nullptr;
  QLabel* lb_tendency = nullptr;
  QLabel* lb_cursor = nullptr;

  QMenuBar* MainMenu1 = nullptr;
  QMenu* File1 = nullptr;
  QAction* Savepicture1 = nullptr;
  QAction* Copy1 = nullptr;
  QAction* Print1 = nullptr;
  QAction* Exportshownrange1 = nullptr;
  QAction* Close1 = nullptr;
  // The ranges (keys 1 to 4) and the moves (Left, Right, End), as the
  // buttons do them.
  QMenu* View1 = nullptr;
  QAction* Span1[kSpanCount] = {};
  QAction* Back1 = nullptr;
  QAction* Forward1 = nullptr;
  QAction* Now1 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  static Tarchive* Archive();
  static std::time_t Now();
  void BuildMenu();
  // Moves the shown range so that it ends at `end` (the present time when
  // following) and reads it.
  void ShowRangeEnding(std::time_t end);
  void ShowRangeText();
  void ShowPresentValue();
  // The ticks of the altitude changes on record in the shown range.
  void ShowAltitudeChanges();
  // Draws the picture's panels onto painter, at its origin.
  void RenderPicture(QPainter& painter) const;
  void SetUpPicture();
  void UpdateButtons();
  // The scale chooser's items and the choice kept in barometer.ini.
  void LoadScaleChoice();
  // Writes the minutes of the shown range to `name`; false when the file
  // could not be written.
  bool WriteExport(const Tarchive& archive, const std::string& name) const;

  // The last sample handed over, for the present value.
  bool has_sample_ = false;
  std::time_t sample_time_ = 0;
  double sample_pressure_ = 0, sample_temperature_ = 0;
  // The record's count of altitude changes when they were last shown.
  uint64_t altitude_changes_shown_ = 0;
  // The minute the tendency was last worked out for.
  std::time_t tendency_minute_ = -1;
  // The fixed span of each fixed item of cb_scale, in its order.
  std::vector<std::pair<double, double>> scale_spans_;
  // The station this window is a sink of.
  Tstation* station_ = nullptr;
};

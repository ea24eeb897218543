#pragma once

#include <QDialog>
#include <cstdint>

#include "sensor/Tsensor_wc.h"

class QEvent;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;
class QTabWidget;
class QWidget;

// The settings dialog ("Wsettings"): sampling, altitude, weather limits and
// forecast rates, and the calibration editor. It works on copies: the fields
// are filled from the main window's settings each time it is shown, and only
// a click on OK whose checks all pass writes them back (and hands the edited
// calibration to the sensor). Cancel, Escape and the close box write nothing.
class TWsettings : public QDialog {
 public:
  // Tab indexes of the pages.
  enum Page { kPageMeasurements, kPageAltitude, kPageSensor, kPageWeather, kPageForecast };

  explicit TWsettings(QWidget* parent = nullptr);
  ~TWsettings() override;

  // Fills every field from the main window's settings and the sensor's
  // calibration; nothing without a live main window.
  void OnShow();
  // The two altitude edits, linked as the user types: metres to feet and
  // feet to metres, the altitude held within [-703, 9166] m.
  void OnKeyUpAlti();
  void OnKeyUpAltiFeet();
  // Focus leaving a part of ts: a number is kept as it is, anything else
  // snaps back to the part kept before.
  void OnExittsd();
  void OnExittsh();
  void OnExittsm();
  void OnExittss();
  // Checks every field, reports each fault, and writes everything back
  // only when no check failed.
  void bt_okClick();
  void bt_cancelClick();
  // A key pressed anywhere in the dialog, before its controls see it:
  // Escape cancels. True when the key was used.
  bool OnFormKeyDown(int key);

  // Calibration editor: typing a word recomputes the coefficients, typing a
  // coefficient recomputes the words; the edit typed in keeps its text.
  void OnKeyUpW1();
  void OnKeyUpW2();
  void OnKeyUpW3();
  void OnKeyUpW4();
  void OnKeyUpC1();
  void OnKeyUpC2();
  void OnKeyUpC3();
  void OnKeyUpC4();
  void OnKeyUpC5();
  void OnKeyUpC6();
  // "Restore from sensor": the module's words into the working copy only.
  void Button1Click();

  QTabWidget* PageControl1 = nullptr;
  QWidget* ts_measurements = nullptr;
  QWidget* ts_altitude = nullptr;
  QWidget* ts_sensor = nullptr;
  QWidget* ts_weather = nullptr;
  QWidget* ts_forecast = nullptr;

  // Measurements.
  QLabel* img_sampling = nullptr;
  QLineEdit* ed_n = nullptr;
  QLineEdit* ed_tsd = nullptr;
  QLineEdit* ed_tsh = nullptr;
  QLineEdit* ed_tsm = nullptr;
  QLineEdit* ed_tss = nullptr;
  // Altitude Configuration.
  QLineEdit* ed_alti = nullptr;
  QLineEdit* ed_altifeet = nullptr;
  // Sensor coefficients.
  QLineEdit* ed_w1 = nullptr;
  QLineEdit* ed_w2 = nullptr;
  QLineEdit* ed_w3 = nullptr;
  QLineEdit* ed_w4 = nullptr;
  QLabel* lb_w1 = nullptr;
  QLabel* lb_w2 = nullptr;
  QLabel* lb_w3 = nullptr;
  QLabel* lb_w4 = nullptr;
  QLineEdit* ed_c1 = nullptr;
  QLineEdit* ed_c2 = nullptr;
  QLineEdit* ed_c3 = nullptr;
  QLineEdit* ed_c4 = nullptr;
  QLineEdit* ed_c5 = nullptr;
  QLineEdit* ed_c6 = nullptr;
  QLabel* lb_c1 = nullptr;
  QLabel* lb_c2 = nullptr;
  QLabel* lb_c3 = nullptr;
  QLabel* lb_c4 = nullptr;
  QLabel* lb_c5 = nullptr;
  QLabel* lb_c6 = nullptr;
  QPushButton* Button1 = nullptr;
  // In their place while an IIO sensor is read: its kernel driver
  // compensates it, and there is nothing to edit.
  QLabel* lb_kernel = nullptr;
  // Weather Situation.
  QLabel* img_sunny = nullptr;
  QLabel* img_variable = nullptr;
  QLabel* img_overcast = nullptr;
  QLabel* img_rainy = nullptr;
  QLineEdit* ed_sunny = nullptr;
  QLineEdit* ed_variable = nullptr;
  QLineEdit* ed_overcast = nullptr;
  QLineEdit* ed_hysteresis = nullptr;
  // Weather forecast.
  QLineEdit* ed_slow_up = nullptr;
  QLineEdit* ed_quick_up = nullptr;
  QLineEdit* ed_slow_down = nullptr;
  QLineEdit* ed_quick_down = nullptr;

  QPushButton* bt_ok = nullptr;
  QPushButton* bt_cancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMeasurementsPage(QWidget* page);
  void BuildAltitudePage(QWidget* page);
  void BuildSensorPage(QWidget* page);
  void BuildWeatherPage(QWidget* page);
  void BuildForecastPage(QWidget* page);

  // Writes metres into ed_alti and feet into ed_altifeet, one decimal each.
  void DisplayAltitude(double metres);
  // One part of ts: kept when it parses, else the edit shows `part` again.
  static void ExitTimePart(QLineEdit* edit, int32_t& part);

  // The calibration editor, or the note that the kernel driver compensates
  // the sensor read.
  void ShowSensorPage();
  void ShowWords();
  void ShowWordsHex();
  void ShowCoefficients();
  void ShowCoefficientsHex();
  // A word (0..3) or coefficient (0..5) typed in its edit.
  void WordTyped(int index);
  void CoefficientTyped(int index);

  double WorkAltitude = 0;
  int32_t TsDays = 0;
  int32_t TsHours = 0;
  int32_t TsMinutes = 0;
  int32_t TsSeconds = 0;
  Tsensor_wc WorkCalibration;
  QGroupBox* gb_words_ = nullptr;
  QWidget* gb_coefficients_ = nullptr;
};

// The settings dialog: its pages, the filling of the fields, the linked
// altitude edits, the parts of ts, and the checks and write-back of OK.
// The calibration editor page is in Tsettings_calibration.cpp.

#include "settings/Tsettings.h"

#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QWidget>
#include <cmath>
#include <cstdint>
#include <string>

#include "atmosphere/Altitude.h"
#include "atmosphere/Lib_vc.h"
#include "components/Number_text.h"
#include "components/UiStyle.h"
#include "components/Window_place.h"
#include "config/Setting_rules.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "main/Tservice_view.h"
#include "platform/Dialogs.h"
#include "settings/Tsettings_layout.h"

using namespace settings_layout;

namespace {

using namespace setting_rules;

const char kNMessage[] = "Error : The n value must be an integer, larger than 0";
const char kNTooLargeMessage[] = "Error : The n value must not be larger than 100";
const char kTsMessage[] = "Error : The ts value must be an integer, larger than 0";
const char kTsQuestion[] =
    "Error : For more than 8 samples, the sampling time (ts) must be at least 2 seconds.\n"
    " Correct ts to 2 seconds ?";
const char kSunnyNumber[] = "Error : The \"Sunny\" limit for the meteo must be a number";
const char kVariableNumber[] = "Error : The \"Variable\" limit for the meteo must be a number";
const char kOvercastNumber[] = "Error : The \"Overcast\" limit for the meteo must be a number";
const char kHysteresisNumber[] = "Error : The \"Hysteresis\" limit for the meteo must be a number";
const char kHysteresisNegative[] =
    "Error : The \"Hysteresis\" limit for the meteo must not be negative";
const char kHysteresisLarge[] =
    "Error : The \"Hysteresis\" limit for the meteo must not be larger than 100 mbar";
const char kSunnyOrder[] =
    "Error : The \"Sunny\" limit for the meteo must be larger than the \"Variable\" one";
const char kVariableOrder[] =
    "Error : The \"Variable\" limit for the meteo must be larger than the \"Overcast\" one";
const char kQuickDownNumber[] =
    "Error : The rate limit for the fast falling trend must be a number";
const char kSlowDownNumber[] = "Error : The rate limit for the slow falling trend must be a number";
const char kQuickUpNumber[] = "Error : The rate limit for the fast rising trend must be a number";
const char kSlowUpNumber[] = "Error : The rate limit for the slow rising trend must be a number";
const char kSlowDownOrder[] =
    "Error : The variation rate for the slow down trend must be bigger than the one for the fast "
    "down trend";
const char kSlowUpOrder[] =
    "Error : The variation rate for the slow up trend must be bigger than the one for the slow "
    "down trend";
const char kQuickUpOrder[] =
    "Error : The variation rate for fast up trend must be bigger than the one for the slow up "
    "trend";

TWmain* MainWindow() {
  return Program().Wmain && Program().Wmain_alive ? Program().Wmain : nullptr;
}

void ShowError(const char* text) {
  if (Program().dialogs) Program().dialogs->Error(text);
}

// Without a dialogs service nobody can answer: that counts as No.
bool AskYesNo(const char* text) {
  return Program().dialogs && Program().dialogs->Confirm(text);
}

// Parses an edit's text; false when it holds something that is no number,
// or a number too large to be finite ("1e999"), which could not be shown
// back.
bool ReadNumber(const QLineEdit* edit, double* value) {
  return !ParseDouble(edit->text().toStdString(), value) && std::isfinite(*value);
}

// Parses a number field; a field that is no number shows `message`.
bool ReadField(const QLineEdit* edit, double* value, const char* message) {
  if (ReadNumber(edit, value)) return true;
  ShowError(message);
  return false;
}

// printf's "%.15g": the shortest form, without decimals for whole numbers.
QString General(double value) {
  return QString::number(value, 'g', 15);
}

// A number of seconds truncated toward zero, saturated to the 64-bit range.
int64_t WholeSeconds(double seconds) {
  if (std::isnan(seconds)) return 0;
  if (seconds >= 9.2e18) return INT64_MAX;
  if (seconds <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(seconds);
}

}  // namespace

TWsettings::TWsettings(QWidget* parent) : QDialog(parent) {
  SetFixedDialogFrame(this, "Settings", 487, 506);
  (new Twindow_place(this))->CentreWhenShown();
  setFont(ArialFont(11));

  PageControl1 = new CompactTabs(this);
  PageControl1->setGeometry(8, 8, 471, 449);
  ts_measurements = new QWidget;
  ts_altitude = new QWidget;
  ts_sensor = new QWidget;
  ts_weather = new QWidget;
  ts_forecast = new QWidget;
  PageControl1->addTab(ts_measurements, "Measurements");
  PageControl1->addTab(ts_altitude, "Altitude Configuration");
  PageControl1->addTab(ts_sensor, "Sensor coefficients");
  PageControl1->addTab(ts_weather, "Weather Situation");
  PageControl1->addTab(ts_forecast, "Weather forecast");
  BuildMeasurementsPage(ts_measurements);
  BuildAltitudePage(ts_altitude);
  BuildSensorPage(ts_sensor);
  BuildWeatherPage(ts_weather);
  BuildForecastPage(ts_forecast);
  // Every showing opens on the first page (see OnShow).
  PageControl1->setCurrentIndex(kPageMeasurements);

  // Neither button is the default: Enter does not press OK.
  bt_ok = new QPushButton("OK", this);
  bt_ok->setGeometry(150, 470, 81, 25);
  bt_ok->setAutoDefault(false);
  bt_cancel = new QPushButton("Cancel", this);
  bt_cancel->setGeometry(256, 470, 81, 25);
  bt_cancel->setAutoDefault(false);
  connect(bt_ok, &QPushButton::clicked, this, [this] { bt_okClick(); });
  connect(bt_cancel, &QPushButton::clicked, this, [this] { bt_cancelClick(); });

  // The altitude edits follow every change the user makes to their text
  // (typing, deleting, pasting); a text set by the program does not count.
  connect(ed_alti, &QLineEdit::textEdited, this, [this] { OnKeyUpAlti(); });
  connect(ed_altifeet, &QLineEdit::textEdited, this, [this] { OnKeyUpAltiFeet(); });
  connect(ed_w1, &QLineEdit::textEdited, this, [this] { OnKeyUpW1(); });
  connect(ed_w2, &QLineEdit::textEdited, this, [this] { OnKeyUpW2(); });
  connect(ed_w3, &QLineEdit::textEdited, this, [this] { OnKeyUpW3(); });
  connect(ed_w4, &QLineEdit::textEdited, this, [this] { OnKeyUpW4(); });
  connect(ed_c1, &QLineEdit::textEdited, this, [this] { OnKeyUpC1(); });
  connect(ed_c2, &QLineEdit::textEdited, this, [this] { OnKeyUpC2(); });
  connect(ed_c3, &QLineEdit::textEdited, this, [this] { OnKeyUpC3(); });
  connect(ed_c4, &QLineEdit::textEdited, this, [this] { OnKeyUpC4(); });
  connect(ed_c5, &QLineEdit::textEdited, this, [this] { OnKeyUpC5(); });
  connect(ed_c6, &QLineEdit::textEdited, this, [this] { OnKeyUpC6(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  // The dialog sees every key before its controls do, and the parts of ts
  // are taken when focus leaves them.
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);

  Program().Wsettings_alive = true;
}

TWsettings::~TWsettings() {
  if (Program().Wsettings == this) Program().Wsettings_alive = false;
}

// ---------------------------------------------------------------------------
// Pages

void TWsettings::BuildMeasurementsPage(QWidget* page) {
  QGroupBox* group = Group(page, 8, 6, 451, 409, " Pressure measurement ");
  img_sampling = Picture(group, 97, 24, 253, 123, "sampling");
  Text(group, 24, 166, 140, 21, "Number of samples (n) :");
  ed_n = Edit(group, 168, 166, 57, "1");
  Paragraph(group, 24, 200, 400, 60,
            "The program makes n measurement samples of the temperature and pressure, from the "
            "sensor. The average of these values is then transmitted to the barometer processing. "
            "This sampling sequence is repeated every ts seconds.");
  Text(group, 24, 270, 300, 16, "Time between each sampling sequence (ts) :");
  QLineEdit** parts[4] = {&ed_tsd, &ed_tsh, &ed_tsm, &ed_tss};
  const char* const captions[4] = {"dd", "hh", "mm", "ss"};
  for (int i = 0; i < 4; ++i) {
    const int x = 24 + i * 76;
    *parts[i] = Edit(group, x, 294, 45, "0");
    Text(group, x + 50, 294, 20, 21, captions[i]);
  }
  Paragraph(group, 24, 340, 400, 34,
            "Note : If n is bigger than 8, then ts must be at least 2 seconds")
      ->setFont(ArialFont(11, true));
}

void TWsettings::BuildAltitudePage(QWidget* page) {
  QGroupBox* group = Group(page, 8, 6, 451, 409, " Altitude entry ");
  Picture(group, 99, 24, 253, 123, "altitude_site");
  Paragraph(group, 24, 172, 400, 34,
            "Please enter your current altitude to be able to calculate the pressure at sea level "
            "or to calibrate the altimeter");
  Text(group, 24, 226, 90, 21, "Local altitude :");
  ed_alti = Edit(group, 116, 226, 73, "0.0", 9);
  Text(group, 195, 226, 50, 21, "[meter]");
  ed_altifeet = Edit(group, 256, 226, 73, "0.0", 9);
  Text(group, 335, 226, 50, 21, "[feet]");
  Paragraph(group, 24, 274, 400, 34,
            "This value must be in the range [-703:9166] meters ( [-2300:30060] feet)  ");
}

void TWsettings::BuildWeatherPage(QWidget* page) {
  Text(page, 8, 6, 451, 18,
       "The Weather situation is calculated directly from the absolute sea level pressure");
  // From the highest pressure down: a picture for each weather range, the
  // limit between two ranges between their pictures.
  const int x = 16;
  const int text_x = 96;
  const int text_w = 355;
  img_sunny = Picture(page, x, 30, 64, 48, "sky_sunny");
  Text(page, text_x, 30, text_w, 48, "1100 mbar and above");
  ed_sunny = Edit(page, x, 84, 64, "-");
  Text(page, text_x, 84, text_w, 21,
       "Pressure limit between \"Sunny\" and \"Variable\" weather situation");
  img_variable = Picture(page, x, 111, 64, 48, "sky_variable");
  ed_variable = Edit(page, x, 165, 64, "-");
  Text(page, text_x, 165, text_w, 21,
       "Pressure limit between \"Variable\" and \"Overcast\" weather situation");
  img_overcast = Picture(page, x, 192, 64, 48, "sky_overcast");
  ed_overcast = Edit(page, x, 246, 64, "-");
  Text(page, text_x, 246, text_w, 21,
       "Pressure limit between \"Overcast\" and \"Rainy\" weather situation");
  img_rainy = Picture(page, x, 273, 64, 48, "sky_rainy");
  Text(page, text_x, 273, text_w, 48, "900 mbar and below");
  Rule(page, 8, 334, 451);
  ed_hysteresis = Edit(page, x, 348, 64, "-");
  Paragraph(page, text_x, 348, text_w, 34,
            "Hysteresis value. This value is used to avoid display toggling when the measure is "
            "at a limit");
}

void TWsettings::BuildForecastPage(QWidget* page) {
  Picture(page, 107, 8, 253, 123, "forecast");
  Paragraph(page, 8, 142, 451, 18,
            "The Weather forecast is calculated from the pressure's variation rate over time.");
  QFrame* table = Panel(page, 8, 168, 451, 206);
  const QFont bold = ArialFont(11, true);
  Text(table, 10, 4, 130, 24, "Trend", bold);
  Text(table, 150, 4, 110, 24, "Slope [mbar/h]", bold);
  Text(table, 272, 4, 175, 24, "Weather forecast", bold);
  Rule(table, 2, 30, 447);
  struct Row {
    const char* picture;
    const char* trend;
    const char* sign;
    QLineEdit** edit;
    const char* forecast;
  };
  const Row rows[4] = {
      {"trend_slow_up", "Slow increase", ">", &ed_slow_up, "long-term high pressure system"},
      {"trend_quick_up", "Rapid increase", ">", &ed_quick_up, "intermediate high pressure system"},
      {"trend_slow_down", "Slow decrease", "<", &ed_slow_down, "long-term low pressure system"},
      {"trend_quick_down", "Rapid decrease", "<", &ed_quick_down, "stormy, thunderstorm"},
  };
  for (int i = 0; i < 4; ++i) {
    const int y = 33 + i * 43;
    Picture(table, 10, y + 4, 17, 33, rows[i].picture);
    Text(table, 36, y, 110, 41, rows[i].trend);
    Text(table, 150, y, 14, 41, rows[i].sign, bold, Qt::AlignCenter);
    *rows[i].edit = Edit(table, 168, y + 10, 73, "-");
    Text(table, 272, y, 175, 41, rows[i].forecast);
    if (i < 3) Rule(table, 2, y + 42, 447);
  }
}

// ---------------------------------------------------------------------------
// Events

void TWsettings::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Showing it again after a minimised desktop is no new showing.
  if (!event->spontaneous()) OnShow();
}

void TWsettings::keyPressEvent(QKeyEvent* event) {
  if (OnFormKeyDown(event->key())) return;
  QDialog::keyPressEvent(event);
}

bool TWsettings::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && OnFormKeyDown(static_cast<QKeyEvent*>(event)->key()))
    return true;
  if (event->type() == QEvent::FocusOut) {
    if (watched == ed_tsd) OnExittsd();
    if (watched == ed_tsh) OnExittsh();
    if (watched == ed_tsm) OnExittsm();
    if (watched == ed_tss) OnExittss();
  }
  return QDialog::eventFilter(watched, event);
}

bool TWsettings::OnFormKeyDown(int key) {
  if (key != Qt::Key_Escape) return false;
  bt_cancelClick();
  return true;
}

// ---------------------------------------------------------------------------
// Filling

void TWsettings::OnShow() {
  // Each showing starts where a reader starts: on the first page.
  PageControl1->setCurrentIndex(kPageMeasurements);
  TWmain* wmain = MainWindow();
  if (!wmain) return;

  DisplayAltitude(wmain->GetParameter(kAltitude));
  ed_n->setText(QString::number(WholeSeconds(wmain->GetParameter(kSamplingN))));

  const int64_t s = WholeSeconds(wmain->GetParameter(kSamplingTs));
  TsDays = static_cast<int32_t>(s / 86400);
  TsHours = static_cast<int32_t>((s / 3600) % 24);
  TsMinutes = static_cast<int32_t>((s / 60) % 60);
  TsSeconds = static_cast<int32_t>(s % 60);
  ed_tsd->setText(QString::number(TsDays));
  ed_tsh->setText(QString::number(TsHours));
  ed_tsm->setText(QString::number(TsMinutes));
  ed_tss->setText(QString::number(TsSeconds));

  // The module is the recording service's: its calibration is shown as
  // the service read it, not changed from here.
  if (const Tservice_view* service = Program().service)
    WorkCalibration = service->Calibration().value_or(Tsensor_wc());
  else
    wmain->GetCalibration(&WorkCalibration);
  ShowWords();
  ShowCoefficients();
  ShowSensorPage();

  ed_sunny->setText(FormatFixed(wmain->GetParameter(kSunnyLimit), 1));
  ed_variable->setText(FormatFixed(wmain->GetParameter(kVariableLimit), 1));
  ed_overcast->setText(FormatFixed(wmain->GetParameter(kOvercastLimit), 1));
  ed_hysteresis->setText(FormatFixed(wmain->GetParameter(kHysteresis), 1));

  ed_quick_down->setText(FormatFixed(wmain->GetParameter(kQuickDownRate), 3));
  ed_slow_down->setText(FormatFixed(wmain->GetParameter(kSlowDownRate), 3));
  ed_quick_up->setText(FormatFixed(wmain->GetParameter(kQuickUpRate), 3));
  ed_slow_up->setText(FormatFixed(wmain->GetParameter(kSlowUpRate), 3));
}

// ---------------------------------------------------------------------------
// Altitude

void TWsettings::DisplayAltitude(double metres) {
  WorkAltitude = metres;
  ed_alti->setText(FormatFixed(WorkAltitude, 1));
  ed_altifeet->setText(FormatFixed(WorkAltitude * kFeetPerMetre, 1));
}

void TWsettings::OnKeyUpAlti() {
  double metres = 0;
  if (ReadNumber(ed_alti, &metres)) {
    WorkAltitude = metres;
    if (WorkAltitude > kHighestAltitude) WorkAltitude = kHighestAltitude;
    if (WorkAltitude < kLowestAltitude) WorkAltitude = kLowestAltitude;
    if (WorkAltitude != metres) ed_alti->setText(General(WorkAltitude));
  }
  ed_altifeet->setText(FormatFixed(WorkAltitude * kFeetPerMetre, 1));
}

void TWsettings::OnKeyUpAltiFeet() {
  double feet = 0;
  if (ReadNumber(ed_altifeet, &feet)) {
    const double metres = feet * kMetresPerFoot;
    WorkAltitude = metres;
    if (WorkAltitude > kHighestAltitude) WorkAltitude = kHighestAltitude;
    if (WorkAltitude < kLowestAltitude) WorkAltitude = kLowestAltitude;
    if (WorkAltitude != metres) ed_altifeet->setText(General(WorkAltitude * kFeetPerMetre));
  }
  ed_alti->setText(FormatFixed(WorkAltitude, 1));
}

// ---------------------------------------------------------------------------
// The parts of ts

void TWsettings::ExitTimePart(QLineEdit* edit, int32_t& part) {
  int32_t value = 0;
  if (!ParseInt(edit->text().toStdString(), &value))
    part = value;
  else
    edit->setText(QString::number(part));
}

void TWsettings::OnExittsd() {
  ExitTimePart(ed_tsd, TsDays);
}

void TWsettings::OnExittsh() {
  ExitTimePart(ed_tsh, TsHours);
}

void TWsettings::OnExittsm() {
  ExitTimePart(ed_tsm, TsMinutes);
}

void TWsettings::OnExittss() {
  ExitTimePart(ed_tss, TsSeconds);
}

// ---------------------------------------------------------------------------
// OK and Cancel

void TWsettings::bt_okClick() {
  bool rejected = false;

  // Sampling.
  bool sampling_valid = true;
  double n = 0;
  if (!ReadNumber(ed_n, &n) || !SampleCountIsWhole(n)) {
    ShowError(kNMessage);
    sampling_valid = false;
  } else if (!SampleCountAllowed(n)) {
    ShowError(kNTooLargeMessage);
    sampling_valid = false;
  }
  // The parts are kept unbounded, so their sum needs 64 bits; a ts that
  // does not fit the sensor's 32-bit interval is refused like one below 1.
  const int64_t total = int64_t{TsDays} * 86400 + int64_t{TsHours} * 3600 +
                        int64_t{TsMinutes} * 60 + int64_t{TsSeconds};
  double ts = static_cast<double>(total);
  if (!SequenceIntervalAllowed(ts)) {
    ShowError(kTsMessage);
    sampling_valid = false;
  }
  if (sampling_valid && !SamplingAllowed(n, ts)) {
    if (AskYesNo(kTsQuestion))
      ts = kShortestIntervalForLargeCount;
    else
      sampling_valid = false;
  }
  if (!sampling_valid) rejected = true;

  // Weather situation. The weather object holds only strictly ordered
  // limits, so equal limits are refused here too.
  bool weather_valid = true;
  double sunny = 0, variable = 0, overcast = 0, hysteresis = 0;
  weather_valid &= ReadField(ed_sunny, &sunny, kSunnyNumber);
  weather_valid &= ReadField(ed_variable, &variable, kVariableNumber);
  weather_valid &= ReadField(ed_overcast, &overcast, kOvercastNumber);
  weather_valid &= ReadField(ed_hysteresis, &hysteresis, kHysteresisNumber);
  if (weather_valid && !rejected && !SunnyAboveVariable(sunny, variable)) {
    ShowError(kSunnyOrder);
    weather_valid = false;
  }
  if (weather_valid && !rejected && !VariableAboveOvercast(variable, overcast)) {
    ShowError(kVariableOrder);
    weather_valid = false;
  }
  // A band around each limit is twice the hysteresis wide: a negative one
  // would be no band at all.
  if (weather_valid && !rejected && !HysteresisAllowed(hysteresis)) {
    ShowError(hysteresis < 0 ? kHysteresisNegative : kHysteresisLarge);
    weather_valid = false;
  }
  if (!weather_valid) rejected = true;

  // Forecast rates; equal rates pass.
  bool rates_valid = true;
  double quick_down = 0, slow_down = 0, quick_up = 0, slow_up = 0;
  rates_valid &= ReadField(ed_quick_down, &quick_down, kQuickDownNumber);
  rates_valid &= ReadField(ed_slow_down, &slow_down, kSlowDownNumber);
  rates_valid &= ReadField(ed_quick_up, &quick_up, kQuickUpNumber);
  rates_valid &= ReadField(ed_slow_up, &slow_up, kSlowUpNumber);
  if (rates_valid && !rejected && !SlowDownNotBelowQuickDown(quick_down, slow_down)) {
    ShowError(kSlowDownOrder);
    rates_valid = false;
  }
  if (rates_valid && !rejected && !SlowUpNotBelowSlowDown(slow_down, slow_up)) {
    ShowError(kSlowUpOrder);
    rates_valid = false;
  }
  if (rates_valid && !rejected && !QuickUpNotBelowSlowUp(slow_up, quick_up)) {
    ShowError(kQuickUpOrder);
    rates_valid = false;
  }
  if (!rates_valid) rejected = true;

  if (rejected) return;
  TWmain* wmain = MainWindow();
  if (!wmain) return;

  // The station is the recording service's: it checks, applies, keeps and
  // announces what changed; a value it refuses comes back as a box.
  if (Tservice_view* service = Program().service) {
    service->SendStationSettings({{kSamplingN, n},
                                  {kSamplingTs, ts},
                                  {kAltitude, WorkAltitude},
                                  {kSunnyLimit, sunny},
                                  {kVariableLimit, variable},
                                  {kOvercastLimit, overcast},
                                  {kHysteresis, hysteresis},
                                  {kQuickDownRate, quick_down},
                                  {kSlowDownRate, slow_down},
                                  {kQuickUpRate, quick_up},
                                  {kSlowUpRate, slow_up}});
    accept();
    return;
  }

  wmain->SetParameter(kSamplingN, n);
  wmain->SetParameter(kSamplingTs, ts);
  wmain->SetParameter(kAltitude, WorkAltitude);
  // The three limits go in as one set: one by one, the weather object's
  // guards would compare each with the old limits and refuse some.
  wmain->SetWeatherLimits(sunny, variable, overcast);
  wmain->SetParameter(kHysteresis, hysteresis);
  wmain->SetParameter(kQuickDownRate, quick_down);
  wmain->SetParameter(kSlowDownRate, slow_down);
  wmain->SetParameter(kQuickUpRate, quick_up);
  wmain->SetParameter(kSlowUpRate, slow_up);
  wmain->SetCalibration(&WorkCalibration);
  accept();
}

void TWsettings::bt_cancelClick() {
  reject();
}

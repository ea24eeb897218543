// The measurement cycle of the main window: the timer tick, the refresh
// after each new sample, the derived values and the minima and maxima.

#include <QLabel>
#include <QMetaObject>
#include <QString>
#include <QTimer>
#include <utility>

#include "atmosphere/Altitude.h"
#include "chart/Tchart.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "sensor/Tsensor.h"
#include "sensor/Tsensor_wc.h"
#include "windows/Tbarograph.h"
#include "windows/Tsmall.h"

namespace {

// Pressure at sea level of the standard atmosphere [mbar].
constexpr double kStandardSeaLevelPressure = 1013.25;
// Widens [min, max] to hold value; a NaN value replaces the maximum.
void Track(double& min, double& max, double value) {
  if (!(max >= value)) max = value;
  if (min > value) min = value;
}

// Sets a pair so that the next Track leaves both ends at value.
void Restart(double& min, double& max, double value) {
  max = value - 1;
  min = value + 1;
}

}  // namespace

void TWmain::OnTimer() {
  // The timer stays off while the tick works, so ticks never pile up.
  Timer1->stop();
  if (Tsensor* sensor = Sensor()) {
    if (sensor->Measure(false)) {
      TakeSample();
      UpdateMeasurement();
    }
  }
  if (!Program().closing) Timer1->start();
}

namespace {

// The settings a detection resets: the sensor's n and ts, and the altitude
// that the displays' reset sets back to 0.
constexpr uint8_t kResetByDetection[3] = {kSamplingN, kSamplingTs, kAltitude};

}  // namespace

void TWmain::ShowLater(std::function<void()> show) {
  later_boxes.push_back(std::move(show));
  if (later_boxes.size() > 1) return;  // already asked for
  QMetaObject::invokeMethod(
      this,
      [this] {
        // A box shown here may ask for another while it is open: that one
        // waits for the next turn of the loop.
        std::vector<std::function<void()>> boxes;
        boxes.swap(later_boxes);
        for (const auto& box : boxes) box();
      },
      Qt::QueuedConnection);
}

void TWmain::StartMeasuring(bool load_file) {
  // The settings go first, so that the first sample is taken with their n
  // and ts and is the one sample of the start: the sample a new ts asks for
  // is this one, and the refresh that follows a set of settings waits for
  // it. Whether the main or the small window shows is decided here too, and
  // applied once the first values are in it.
  starting_ = true;
  settings_applied_pending_ = false;
  minimized_pending_ = false;
  // A new detection may have found another module: an altitude applied now
  // takes the first good sample as its reference, not the last one taken.
  has_good_sample = false;
  if (load_file) {
    LoadSettings("setup.ini");
  } else {
    // Applied as a settings file applies them.
    loading_settings = true;
    sample_after_loading = false;
    for (int i = 0; i < 3; ++i) SetParameter(kResetByDetection[i], kept_settings[i]);
    loading_settings = false;
    SettingsApplied();
  }
  starting_ = false;
  sample_after_loading = false;
  settings_taken_ = true;
  if (Tsensor* sensor = Sensor()) {
    sensor->Measure(true);
    TakeSample();
  }
  if (settings_applied_pending_) SettingsApplied();
  UpdateMeasurement();
  if (minimized_pending_) ApplyMinimized();
}

void TWmain::KeepSettings() {
  for (int i = 0; i < 3; ++i) kept_settings[i] = GetParameter(kResetByDetection[i]);
}

bool TWmain::IsGoodSample(const Tsensor& sensor) {
  // Where the module gives readings; a compensated value outside comes from a
  // reading that went wrong on the way (the link has no checksum).
  return !sensor.HasError() && InReadingRange(sensor.Pressure, sensor.Temperature);
}

void TWmain::TakeSample() {
  Tsensor* sensor = Sensor();
  if (!sensor) return;
  last_sample_good = IsGoodSample(*sensor);
  if (!last_sample_good) return;
  // The station's corrections come first: everything from here on (shown,
  // reduced, judged, logged, recorded, charted, published) is corrected;
  // D1 and D2 stay as the module gave them.
  const ReadingSettings& readings = Program().readings;
  p_local = sensor->Pressure + readings.pressure_correction;
  t_local = sensor->Temperature + readings.temperature_correction;
  // An altitude applied before any good sample had no pressure to take as
  // its reference: the first good sample is it.
  if (!has_good_sample && altitude_applied) p_ref = p_local;
  has_good_sample = true;
}

void TWmain::UpdateMeasurement() {
  Tsensor* sensor = Sensor();
  if (!sensor) return;
  if (last_sample_good) {
    ShowPressure(p_local);
    ShowTemperature(t_local);
    UpdateDerived();
  } else {
    ShowReadingFailed();
  }
  lb_d1->setText(QString::number(sensor->GetD1()));
  lb_d2->setText(QString::number(sensor->GetD2()));
  ArchiveSample();
  CheckStormWarning();
  PublishSample();
  // The chart gets the local pressure, not the sea-level pressure; a failed
  // sample is no data for it (nor for its log).
  if (!last_sample_good) return;
  if (TWchart* chart = ChartWindow())
    chart->AddMeasurement(sensor->GetD1(), sensor->GetD2(), p_local, t_local, alt_shown);
  if (Program().Wbarograph && Program().Wbarograph_alive && Program().clock)
    Program().Wbarograph->AddSample(Program().clock->Now(), p_sea, t_local);
}

void TWmain::ShowReadingFailed() {
  const QString failed = QStringLiteral("--");
  lbpressure->setText(failed);
  lbpresssea->setText(failed);
  lbcelsius->setText(failed);
  lbfarenheit->setText(failed);
  if (TWsmall* small = SmallWindow()) {
    small->lbcelsius->setText(failed);
    small->lbpresssea->setText(failed);
  }
  // The next good sample is shown whatever its value.
  p_shown = kNothingShown;
  t_shown = kNothingShown;
}

void TWmain::UpdateDerived() {
  // Everything derived stays as it was while the module fails.
  if (!last_sample_good) return;
  // Until a local altitude is applied (after the start, or after a new
  // detection put the setting back to 0 m) the first sample stands for 0 m,
  // so the references always belong to the setting shown.
  if (!altitude_applied && Sensor()) {
    // References left from another altitude would shift the sea-level
    // pressure at once: as for a changed altitude, the history and the
    // minima and maxima start over.
    const bool other_altitude = p_std != 0 && p_std != PressureFromAltitude(0.0);
    SetLocalAltitude(0.0);
    if (other_altitude && meteo) {
      meteo->ClearHistory();
      minmax_started = false;  // restart from the values computed below
    }
  }
  UpdateSeaLevelPressure();
  UpdateAltitude();
  if (meteo) meteo->Assess(p_sea);
  ShowWeather();
  UpdateMinMax();
}

void TWmain::UpdateSeaLevelPressure() {
  Tsensor* sensor = Sensor();
  if (!sensor) return;
  sea_offset = kStandardSeaLevelPressure - p_std;
  if (!last_sample_good) return;
  p_sea = sea_offset + p_local;
  const PressureUnit unit = Program().readings.units.pressure;
  lbpresssea->setText(PressureText(p_sea, unit));
  // The small window shows the local pressure.
  if (TWsmall* small = SmallWindow()) small->ShowPressure(p_local, unit);
}

void TWmain::UpdateAltitude() {
  Tsensor* sensor = Sensor();
  if (!sensor) return;
  alt_offset = p_ref - p_std;
  if (!last_sample_good) return;
  ShowAltitude(AltitudeFromPressure(p_local - alt_offset));
}

void TWmain::SetLocalAltitude(double h) {
  Tsensor* sensor = Sensor();
  if (!sensor) return;
  alt_setting = h;
  p_ref = p_local;
  p_std = PressureFromAltitude(h);
  altitude_applied = true;
  lb_alti->setText(FormatFixed(h, 1));
  lb_altifeet->setText(FormatFixed(h * kFeetPerMetre, 1));
}

void TWmain::UpdateMinMax() {
  Tsensor* sensor = Sensor();
  if (!sensor || !has_good_sample) return;
  const double t = t_local;
  if (!minmax_started) {
    // Nothing recorded yet: start from the present values, not from zero.
    Restart(p_sea_min, p_sea_max, p_sea);
    Restart(alt_min, alt_max, alt_shown);
    Restart(t_min, t_max, t);
    minmax_started = true;
  }
  Track(p_sea_min, p_sea_max, p_sea);
  Track(alt_min, alt_max, alt_shown);
  Track(t_min, t_max, t);

  const QString celsius = QString(" [") + QChar(0xB0) + "C]";
  const PressureUnit unit = Program().readings.units.pressure;
  const QString unit_text = " [" + PressureUnitText(unit) + "]";
  lb_pmax->setText(PressureText(p_sea_max, unit) + unit_text);
  lb_pmin->setText(PressureText(p_sea_min, unit) + unit_text);
  lb_amax->setText(FormatFixed(alt_max, 2) + " [m]");
  lb_amin->setText(FormatFixed(alt_min, 2) + " [m]");
  lb_tmax->setText(FormatFixed(t_max, 2) + celsius);
  lb_tmin->setText(FormatFixed(t_min, 2) + celsius);
}

void TWmain::ClearMinMax() {
  Tsensor* sensor = Sensor();
  if (!sensor) return;
  Restart(p_sea_min, p_sea_max, p_sea);
  Restart(alt_min, alt_max, alt_shown);
  Restart(t_min, t_max, t_local);
  minmax_started = true;
  UpdateMinMax();
}

void TWmain::GetCalibration(Tsensor_wc* record) {
  if (record && Sensor()) Sensor()->GetCalibration(record);
}

void TWmain::SetCalibration(const Tsensor_wc* record) {
  if (record && Sensor()) Sensor()->SetCalibration(record);
}

// The checked read: the record changes only when the module handed back a
// valid calibration.
void TWmain::ReadCalibrationFromModule(Tsensor_wc* record) {
  if (record && Sensor()) Sensor()->ReadCheckedCalibration(record);
}

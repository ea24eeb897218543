// The main window as a view of the station: the timer's tick, the start of
// the measurement, and each sample and derived value shown.

#include <QLabel>
#include <QMetaObject>
#include <QString>
#include <QTimer>
#include <utility>

#include "archive/Tarchive.h"
#include "atmosphere/Altitude.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "sensor/Tsensor.h"
#include "sensor/Tsensor_wc.h"
#include "station/Tmodule_source.h"
#include "windows/Tsmall.h"

void TWmain::OnTimer() {
  // The timer stays off while the tick works, so ticks never pile up.
  Timer1->stop();
  station.Tick();
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
    LoadSettings(Tsetup_ini::kFileName);
  } else {
    // Applied as a settings file applies them.
    Tsetup_ini::Reading kept;
    for (int i = 0; i < 3; ++i) kept.apply.push_back({kResetByDetection[i], kept_settings[i]});
    station.ApplySettings(kept, [this](uint8_t key, double value) { SetParameter(key, value); });
  }
  starting_ = false;
  sample_after_loading = false;
  settings_taken_ = true;
  const bool taken = station.Measure(true);
  if (settings_applied_pending_) SettingsApplied();
  if (taken) UpdateMeasurement();
  if (minimized_pending_) ApplyMinimized();
}

void TWmain::KeepSettings() {
  for (int i = 0; i < 3; ++i) kept_settings[i] = GetParameter(kResetByDetection[i]);
}

bool TWmain::IsGoodSample(const Tsensor& sensor) {
  return Tmodule_source::IsGoodSample(sensor);
}

void TWmain::UpdateMeasurement() {
  station.Deliver();
}

void TWmain::OnSample(const Sample& sample) {
  if (sample.good) {
    ShowPressure(sample.pressure);
    ShowTemperature(sample.temperature);
    ShowDerived();
  } else {
    ShowReadingFailed();
  }
  lb_d1->setText(sample.d1 ? QString::number(*sample.d1) : QStringLiteral("--"));
  lb_d2->setText(sample.d2 ? QString::number(*sample.d2) : QStringLiteral("--"));
  // A box about the record (from its opening, this sample, or a window's
  // read) comes once this tick is over: a damaged file put aside is being
  // recorded into by then, and the ticks go on behind the box.
  ShowArchiveNotice();
  // The warning's line, while a warning is up or its line still shows.
  if (sample.good && (sample.storm_active || !lb_storm->isHidden())) ShowStormWarning();
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

void TWmain::ShowDerived() {
  lb_alti->setText(FormatFixed(alt_setting, 1));
  lb_altifeet->setText(FormatFixed(alt_setting * kFeetPerMetre, 1));
  if (last_sample_good) {
    const PressureUnit unit = Program().readings.units.pressure;
    lbpresssea->setText(PressureText(p_sea, unit));
    // The small window shows the local pressure.
    if (TWsmall* small = SmallWindow()) small->ShowPressure(p_local, unit);
    ShowAltitude(station.altitude);
    ShowWeather();
  }
  ShowMinMax();
}

void TWmain::ShowMinMax() {
  if (!has_good_sample || !minmax_started) return;
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
  station.ClearMinMax();
  ShowMinMax();
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

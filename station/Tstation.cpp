// The measurement: each tick's sample judged, corrected, reduced to sea
// level and judged for the weather, then handed to the record, the storm
// warning, the publisher and the views, in that order.

#include "station/Tstation.h"

#include <algorithm>

#include "archive/Tarchive.h"
#include "archive/Tarchive_tendency.h"
#include "atmosphere/Altitude.h"
#include "platform/Clock.h"
#include "sensor/Tsensor.h"
#include "station/Tmodule_source.h"

namespace {

// Pressure at sea level of the standard atmosphere [mbar].
constexpr double kStandardSeaLevelPressure = 1013.25;
// An hourly history entry is the minute on record nearest to its hour,
// taken within this many seconds of it.
constexpr int kHistoryWithin = 600;

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

const char* TendencyGapReason(TendencyGap gap) {
  switch (gap) {
    case TendencyGap::NoRecord:
      return "no pressure record is kept";
    case TendencyGap::NothingRecent:
      return "nothing recorded in the last 10 minutes";
    case TendencyGap::ShortRecord:
      return "less than 3 hours of record";
    case TendencyGap::NoStart:
      return "no record around 3 hours ago";
    case TendencyGap::ClockSetBack:
      return "the clock was set back: the record holds some minutes twice";
    case TendencyGap::NoMiddle:
    case TendencyGap::None:
      break;
  }
  return "";
}

Tstation::Tstation(Clock& clock) : clock_(clock) {
  TmeteoDisplay* display = this;
  meteo = std::make_unique<Tmeteo>(clock, display);
  tick_now = [this] { Tick(); };
}

Tstation::~Tstation() = default;

void Tstation::UseSensor(Tsensor* sensor) {
  sensor_ = sensor;
  module_source_.reset(sensor ? new Tmodule_source(*sensor) : nullptr);
  source_ = module_source_.get();
}

void Tstation::UseSource(Tsample_source* source) {
  sensor_ = nullptr;
  module_source_.reset();
  source_ = source;
}

namespace {

// The sampling in force handed on to the next source.
template <typename Next>
void HandOnTiming(const Tsample_source* before, Next& next) {
  if (before == nullptr) return;
  next.SetSampleCount(before->GetSampleCount());
  next.SetSequenceInterval(before->GetSequenceInterval());
}

}  // namespace

void Tstation::MoveToSensor(Tsensor* sensor) {
  HandOnTiming(source_, *sensor);
  UseSensor(sensor);
}

void Tstation::MoveToSource(Tsample_source* source) {
  HandOnTiming(source_, *source);
  UseSource(source);
}

void Tstation::AddSink(TstationSink* sink, SinkOrder order) {
  RemoveSink(sink);
  // After the sinks of its own order and before those of later ones.
  auto at = std::find_if(sinks_.begin(), sinks_.end(),
                         [order](const Entry& e) { return e.order > order; });
  sinks_.insert(at, Entry{sink, order});
}

void Tstation::RemoveSink(TstationSink* sink) {
  sinks_.erase(std::remove_if(sinks_.begin(), sinks_.end(),
                              [sink](const Entry& e) { return e.sink == sink; }),
               sinks_.end());
}

void Tstation::Fan(SinkOrder order, const Sample& sample) {
  // A sink may remove itself (a window going): the list is walked by index.
  for (size_t i = 0; i < sinks_.size(); ++i)
    if (sinks_[i].order == order) sinks_[i].sink->OnSample(sample);
}

// ---------------------------------------------------------------------------
// The tick

bool Tstation::Tick(bool force) {
  if (!Measure(force)) return false;
  Deliver();
  return true;
}

bool Tstation::Measure(bool force) {
  if (source_ == nullptr) return false;
  reading_ = source_->Measure(force);
  if (!reading_.taken) return false;
  last_sample_good = reading_.good;
  if (!last_sample_good) return true;
  // The station's corrections come first: everything from here on (shown,
  // reduced, judged, logged, recorded, charted, published) is corrected;
  // the raw words stay as the source gave them.
  p_local = reading_.pressure + pressure_correction_;
  t_local = reading_.temperature + temperature_correction_;
  // An altitude applied before any good sample had no pressure to take as
  // its reference: the first good sample is it.
  if (!has_good_sample && altitude_applied) p_ref = p_local;
  has_good_sample = true;
  return true;
}

void Tstation::Deliver() {
  if (source_ == nullptr) return;
  Sample sample;
  sample.time = clock_.Now();
  sample.source = source_->Kind();
  sample.d1 = reading_.d1;
  sample.d2 = reading_.d2;
  sample.good = last_sample_good;
  sample.failure = reading_.failure;
  sample.reason = reading_.reason;
  if (last_sample_good) {
    const auto notify = std::move(on_derived);
    on_derived = nullptr;
    UpdateDerived();
    on_derived = notify;
  }

  // The record: a good sample is kept (the first one after the start puts
  // the history back from the record first), a failed one commits what is
  // pending.
  if (archive_ != nullptr) {
    if (!last_sample_good) {
      archive_->Flush();
    } else {
      if (archive_refill_pending && !loading_settings) RefillFromRecord();
      const TarchiveSource source =
          sample.source == SampleSourceKind::kIio ? TarchiveSource::kIio : TarchiveSource::kModule;
      archive_->Record(source, reading_.d1, reading_.d2, p_local, t_local, p_sea, altitude);
    }
  }
  FillDerived(sample);
  Fan(SinkOrder::kRecord, sample);
  UpdateTendencyAndStorm(sample);
  Fan(SinkOrder::kStorm, sample);
  Fan(SinkOrder::kPublisher, sample);
  Fan(SinkOrder::kView, sample);
  last_ = sample;
}

void Tstation::DeliverFrom(const Sample& sample) {
  last_sample_good = sample.good;
  if (sample.good) {
    p_local = sample.pressure;
    t_local = sample.temperature;
    p_sea = sample.sea_level_pressure;
    altitude = sample.altitude;
    has_good_sample = true;
    if (archive_refill_pending) RefillFromRecord();
    // The hourly history and its trend go on here, for the bars; the words
    // shown are the service's.
    meteo->Assess(p_sea);
    weather_seen_ = sample.weather;
    precipitation_ = sample.precipitation;
    has_trend_ = sample.has_trend;
    trend_ = sample.trend;
    UpdateMinMax();
    // The service's storm warning is this one's: its raising comes to the
    // storm sinks (the desktop's notice) as the service marked it.
    storm.Mirror(sample.storm_active, sample.storm_fall, sample.storm_since);
  }
  Fan(SinkOrder::kStorm, sample);
  Fan(SinkOrder::kView, sample);
  last_ = sample;
}

void Tstation::FillDerived(Sample& sample) const {
  sample.pressure = p_local;
  sample.temperature = t_local;
  sample.sea_level_pressure = p_sea;
  sample.altitude = altitude;
  sample.weather = weather_seen_;
  sample.precipitation = precipitation_;
  sample.has_trend = has_trend_;
  sample.trend = trend_;
  sample.variation = variation_;
  if (tendency_minute_ >= 0) {
    sample.tendency_3h =
        tendency_.HasChange() ? std::optional<double>(tendency_.change) : std::nullopt;
    sample.tendency_code = tendency_.code;
    sample.tendency_reason = TendencyGapReason(tendency_.gap);
  }
  sample.storm_active = storm.Active();
  sample.storm_fall = storm.Fall();
  sample.storm_since = storm.Since();
}

void Tstation::RefillFromRecord() {
  archive_refill_pending = false;
  if (archive_ == nullptr) return;
  const std::time_t now = clock_.Now();
  double entries[Tmeteo::kHistorySize];
  entries[0] = meteo->GetHistory(0);
  for (int k = 1; k < Tmeteo::kHistorySize; ++k) {
    const auto minute = archive_->NearestMinute(
        now - static_cast<std::time_t>(k) * Tmeteo::kHistoryStep, kHistoryWithin);
    entries[k] = minute ? minute->sea_level_pressure_mean : Tmeteo::kEmpty;
  }
  meteo->RestoreHistory(entries);
  for (size_t i = 0; i < sinks_.size(); ++i) sinks_[i].sink->OnHistoryRefilled(now);
}

void Tstation::UpdateTendencyAndStorm(Sample& sample) {
  if (!last_sample_good) return;
  const std::time_t now = sample.time;
  // The tendency is made of minutes: once a minute is enough, and every
  // reader of it (the storm warning, the publisher, the windows) gets this
  // one.
  const std::time_t minute = TendencyMinuteOf(now);
  if (minute == tendency_minute_) return;
  const TendencyRecord record = TendencyRecordOf(archive_);
  tendency_ = TendencyOf(record, now);
  tendency_minute_ = minute;
  ++tendency_workouts_;
  if (storm.LastMinute() != minute) {
    if (storm_replay_pending) {
      // A warning that was up before the program started is up again now,
      // with the time it was reached, and is not told a second time.
      storm_replay_pending = false;
      storm.Replay(record, now - Tstorm_warning::kReplaySeconds, now - 60);
    }
    switch (storm.Update(tendency_)) {
      case Tstorm_warning::Event::Raised:
        sample.storm_event = StormEvent::kRaised;
        break;
      case Tstorm_warning::Event::Cleared:
        sample.storm_event = StormEvent::kCleared;
        break;
      case Tstorm_warning::Event::None:
        break;
    }
  }
  FillDerived(sample);
}

// ---------------------------------------------------------------------------
// Derived values

void Tstation::UpdateDerived() {
  // Everything derived stays as it was while the source fails.
  if (!last_sample_good) return;
  // Until a local altitude is applied (after the start, or after a new
  // detection put the setting back to 0 m) the first sample stands for 0 m,
  // so the references always belong to the setting in force.
  if (!altitude_applied && source_ != nullptr) {
    // References left from another altitude would shift the sea-level
    // pressure at once: as for a changed altitude, the history and the
    // minima and maxima start over.
    const bool other_altitude = p_std != 0 && p_std != PressureFromAltitude(0.0);
    SetLocalAltitude(0.0);
    if (other_altitude) {
      meteo->ClearHistory();
      minmax_started = false;  // restart from the values computed below
    }
  }
  UpdateSeaLevelPressure();
  UpdateAltitude();
  meteo->Assess(p_sea);
  JudgeWeather();
  UpdateMinMax();
  if (on_derived) on_derived();
}

void Tstation::JudgeWeather() {
  const WeatherClass weather = meteo->GetWeather();
  if (weather == weather_seen_ || weather == WeatherNone) return;
  weather_seen_ = weather;
  if (weather != WeatherPrecipitation)
    precipitation_ = Precipitation::kNone;
  else if (t_local >= 3)
    precipitation_ = Precipitation::kRain;
  else if (t_local >= -1)
    precipitation_ = Precipitation::kRainAndSnow;
  else
    precipitation_ = Precipitation::kSnow;
}

void Tstation::UpdateSeaLevelPressure() {
  if (source_ == nullptr) return;
  sea_offset = kStandardSeaLevelPressure - p_std;
  if (!last_sample_good) return;
  p_sea = sea_offset + p_local;
}

void Tstation::UpdateAltitude() {
  if (source_ == nullptr) return;
  alt_offset = p_ref - p_std;
  if (!last_sample_good) return;
  altitude = AltitudeFromPressure(p_local - alt_offset);
}

void Tstation::SetLocalAltitude(double h) {
  if (source_ == nullptr) return;
  alt_setting = h;
  p_ref = p_local;
  p_std = PressureFromAltitude(h);
  altitude_applied = true;
}

void Tstation::UpdateMinMax() {
  // Values come from a good sample, measured here or received.
  if (!has_good_sample) return;
  if (!minmax_started) {
    // Nothing tracked yet: start from the present values, not from zero.
    Restart(p_sea_min, p_sea_max, p_sea);
    Restart(alt_min, alt_max, altitude);
    Restart(t_min, t_max, t_local);
    minmax_started = true;
  }
  Track(p_sea_min, p_sea_max, p_sea);
  Track(alt_min, alt_max, altitude);
  Track(t_min, t_max, t_local);
}

void Tstation::ClearMinMax() {
  if (source_ == nullptr) return;
  Restart(p_sea_min, p_sea_max, p_sea);
  Restart(alt_min, alt_max, altitude);
  Restart(t_min, t_max, t_local);
  minmax_started = true;
  UpdateMinMax();
}

void Tstation::ResetForDetection() {
  alt_setting = 0;
  altitude_applied = false;  // the next sample applies 0 m (see UpdateDerived)
  altitude = 0;
  weather_seen_ = WeatherNone;
}

// ---------------------------------------------------------------------------
// Settings

void Tstation::SetParameter(uint8_t index, double value) {
  switch (index) {
    case kSamplingN:
      // A sequence holds the program for about 2 x n conversions: more than
      // 100 would freeze it, so larger values are held at 100. With fewer
      // than 1 there would be no sample at all, so those (and a value that
      // is no number) are held at 1.
      if (source_) source_->SetSampleCount(value > 100 ? 100 : value >= 1 ? value : 1);
      break;
    case kSamplingTs:
      // A new interval takes a sample at once; while a file is read, once
      // the whole file is in force, so that the sample is not taken (and
      // charted and logged) at an altitude the file is about to change.
      if (source_) source_->SetSequenceInterval(value);
      if (loading_settings)
        sample_after_loading = true;
      else if (tick_now)
        tick_now();
      break;
    case kAltitude: {
      // Every application re-zeroes the altimeter at the present pressure;
      // only a changed altitude restarts the history and the minima/maxima.
      const double old = alt_setting;
      SetLocalAltitude(value);
      UpdateAltitude();
      UpdateSeaLevelPressure();
      if (value != old) {
        meteo->ClearHistory();
        ClearMinMax();
      }
      // A change the user made is marked in the record (the start puts back
      // the altitude in force, which is no change).
      if (value != old && !starting && archive_ != nullptr)
        archive_->RecordAltitudeChange(old, value);
      if (on_derived) on_derived();
      break;
    }
    case kSunnyLimit:
      meteo->SetSunnyLimit(value);
      break;
    case kVariableLimit:
      meteo->SetVariableLimit(value);
      break;
    case kOvercastLimit:
      meteo->SetOvercastLimit(value);
      break;
    case kHysteresis:
      meteo->SetHysteresis(value);
      break;
    case kSeaOffset:
      sea_offset = value;  // recomputed from the altitude at the next refresh
      break;
    case kQuickDownRate:
      meteo->SetQuickDownRate(value);
      break;
    case kSlowDownRate:
      meteo->SetSlowDownRate(value);
      break;
    case kQuickUpRate:
      meteo->SetQuickUpRate(value);
      break;
    case kSlowUpRate:
      meteo->SetSlowUpRate(value);
      break;
    case kMinimized:
    case kSaveOnExit:
    case kSmallX:
    case kSmallY:
      desktop_settings[index - kMinimized] = value;
      break;
    default:
      break;
  }
}

double Tstation::GetParameter(uint8_t index) const {
  switch (index) {
    case kSamplingN:
      return source_ ? source_->GetSampleCount() : 0;
    case kSamplingTs:
      return source_ ? source_->GetSequenceInterval() : 0;
    case kAltitude:
      return alt_setting;
    case kSunnyLimit:
      return meteo->GetSunnyLimit();
    case kVariableLimit:
      return meteo->GetVariableLimit();
    case kOvercastLimit:
      return meteo->GetOvercastLimit();
    case kHysteresis:
      return meteo->GetHysteresis();
    case kSeaOffset:
      return sea_offset;
    case kQuickDownRate:
      return meteo->GetQuickDownRate();
    case kSlowDownRate:
      return meteo->GetSlowDownRate();
    case kQuickUpRate:
      return meteo->GetQuickUpRate();
    case kSlowUpRate:
      return meteo->GetSlowUpRate();
    case kMinimized:
    case kSaveOnExit:
    case kSmallX:
    case kSmallY:
      return desktop_settings[index - kMinimized];
    default:
      return 0;
  }
}

void Tstation::GetParameters(SettingValues& values) const {
  values[0] = 0;
  for (uint8_t index = 1; index <= kSettingCount; ++index) values[index] = GetParameter(index);
}

bool Tstation::SetWeatherLimits(double sunny, double variable, double overcast) {
  if (!(sunny > variable && variable > overcast)) return false;
  // Each setter accepts only a value that keeps the order with the two
  // limits in force. Going from one ordered set to another, every pass
  // accepts at least one more limit, so three passes always suffice.
  for (int pass = 0; pass < 3; ++pass) {
    if (meteo->GetSunnyLimit() != sunny) meteo->SetSunnyLimit(sunny);
    if (meteo->GetVariableLimit() != variable) meteo->SetVariableLimit(variable);
    if (meteo->GetOvercastLimit() != overcast) meteo->SetOvercastLimit(overcast);
  }
  return meteo->GetSunnyLimit() == sunny && meteo->GetVariableLimit() == variable &&
         meteo->GetOvercastLimit() == overcast;
}

void Tstation::ApplySettings(const Tsetup_ini::Reading& reading,
                             const std::function<void(uint8_t, double)>& set) {
  loading_settings = true;
  sample_after_loading = false;
  for (const Tsetup_ini::Setting& s : reading.apply) {
    if (set)
      set(s.key, s.value);
    else
      SetParameter(s.key, s.value);
  }
  loading_settings = false;
  // The weather limits are applied together at the end: one by one in file
  // order, the guards would refuse part of a valid set.
  if (reading.has_limit[0] || reading.has_limit[1] || reading.has_limit[2]) {
    SetWeatherLimits(reading.has_limit[0] ? reading.limits[0] : meteo->GetSunnyLimit(),
                     reading.has_limit[1] ? reading.limits[1] : meteo->GetVariableLimit(),
                     reading.has_limit[2] ? reading.limits[2] : meteo->GetOvercastLimit());
  }
  SettingsApplied();
}

void Tstation::SettingsApplied() {
  // At the start the refresh waits for the first sample.
  if (starting) {
    settings_applied_pending = true;
    return;
  }
  // The minima and maxima restart from the values the refresh below
  // computes: restarting them first would keep a stale value.
  minmax_started = false;
  UpdateDerived();
  // A new ts takes its sample once the whole set is in force.
  if (sample_after_loading) {
    sample_after_loading = false;
    if (tick_now) tick_now();
  }
}

void Tstation::SetCorrections(double pressure, double temperature) {
  pressure_correction_ = pressure;
  temperature_correction_ = temperature;
}

void Tstation::ApplyCorrections(double pressure, double temperature) {
  // The altimeter's reference was taken with the former correction; moved
  // with it, the altitude does not jump.
  if (altitude_applied) p_ref += pressure - pressure_correction_;
  SetCorrections(pressure, temperature);
}

// ---------------------------------------------------------------------------
// The weather object's reports

void Tstation::ShowHistoryRange(double low, double high) {
  if (meteo_display_) meteo_display_->ShowHistoryRange(low, high);
}

void Tstation::ShowHistoryBar(int index, double value) {
  if (meteo_display_) meteo_display_->ShowHistoryBar(index, value);
}

void Tstation::ShowTrend(TrendClass trend, double variation) {
  if (trend <= TrendSlowUp) {
    has_trend_ = true;
    trend_ = trend;
  }
  variation_ = variation;
  if (meteo_display_) meteo_display_->ShowTrend(trend, variation);
}

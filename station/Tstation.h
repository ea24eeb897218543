#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

#include "atmosphere/Storm_warning.h"
#include "atmosphere/Tendency.h"
#include "atmosphere/Tmeteo.h"
#include "config/Tsetup_ini.h"
#include "sensor/Tsample_source.h"
#include "station/Sample.h"

class Clock;
class Tarchive;
class Tsensor;

// A consumer of the station's samples: the record's companions, the storm
// warning's notices, the publisher, the windows.
class TstationSink {
 public:
  virtual ~TstationSink() = default;
  virtual void OnSample(const Sample& sample) = 0;
  // The first good sample after the start: the history before it was put
  // back from the record, at calendar second `now` (the chart refills its
  // last hour then).
  virtual void OnHistoryRefilled(std::time_t now) { (void)now; }
};

// Where a sink stands in the fan-out of each sample: the record first, then
// the storm warning, then the publisher, then the views.
enum class SinkOrder : uint8_t { kRecord = 0, kStorm = 1, kPublisher = 2, kView = 3 };

// The measurement: a source of samples, the corrections, the reduction to
// sea level, the altimeter's references, the weather and its trend, the
// minima and maxima, the pressure record, the 3-hour tendency and the storm
// warning, and the 16 indexed settings. The caller drives it with Tick()
// once a second; every sample goes to every sink in SinkOrder.
class Tstation : private TmeteoDisplay {
 public:
  explicit Tstation(Clock& clock);
  ~Tstation() override;
  Tstation(const Tstation&) = delete;
  Tstation& operator=(const Tstation&) = delete;

  // ---- Source, record and sinks ----
  // The module's driver (not owned): the station then reads it through a
  // source of its own.
  void UseSensor(Tsensor* sensor);
  // Any other source (not owned); null: none.
  void UseSource(Tsample_source* source);
  // The same in the place of the source read until now (another port),
  // which hands its n and ts on to the new one.
  void MoveToSensor(Tsensor* sensor);
  void MoveToSource(Tsample_source* source);
  Tsample_source* Source() const { return source_; }
  Tsensor* Sensor() const { return sensor_; }
  // The pressure record (not owned); null: none kept.
  void UseRecord(Tarchive* archive) { archive_ = archive; }
  Tarchive* Record() const { return archive_; }
  void AddSink(TstationSink* sink, SinkOrder order);
  void RemoveSink(TstationSink* sink);
  // The window that shows the hourly history and the trend (null: none).
  void SetMeteoDisplay(TmeteoDisplay* display) { meteo_display_ = display; }
  Clock& GetClock() const { return clock_; }

  // ---- The tick ----
  // One tick of the sampling countdown: a sample when one is due (or
  // forced), handed to every sink. Returns whether a sample was taken.
  bool Tick(bool force = false);
  // The two halves of a tick, for a caller that applies settings between
  // them: the source's step (and the sample judged and kept), then the
  // derived values and the fan-out.
  bool Measure(bool force);
  void Deliver();
  // A sample taken elsewhere (by the recording service this program views):
  // kept as the last one and handed to the storm sinks and the views only;
  // nothing is measured, recorded or published. Its storm warning becomes
  // this station's. The first good one puts the hourly history back from
  // the record, when one is given.
  void DeliverFrom(const Sample& sample);
  // What stands for "take a sample now" (a new ts asks for one): Tick()
  // unless the caller drives its own (the desktop's timer restarts with it).
  std::function<void()> tick_now;
  // Called whenever the derived values were worked out again outside a
  // tick (a setting changed): the windows show them.
  std::function<void()> on_derived;

  // ---- Derived values ----
  void UpdateDerived();
  void UpdateSeaLevelPressure();
  void UpdateAltitude();
  void SetLocalAltitude(double h);
  void UpdateMinMax();
  // The weather class of the weather object taken, and rain or snow chosen
  // by the temperature when it becomes precipitation; not chosen again
  // while it stays.
  void JudgeWeather();
  // Every minimum and maximum restarts from the present value.
  void ClearMinMax();
  // A new detection: the altitude setting back to 0 m (applied at the next
  // sample) and the weather to be shown anew.
  void ResetForDetection();
  // The last sample handed out.
  const Sample& Last() const { return last_; }
  // The weather as last judged (WeatherNone before the first judgement, and
  // again after a detection), and the rain or snow chosen for it.
  WeatherClass Weather() const { return weather_seen_; }
  Precipitation PrecipitationKind() const { return precipitation_; }
  // How often the 3-hour tendency was worked out (once a minute at most).
  int TendencyWorkouts() const { return tendency_workouts_; }

  // ---- Settings ----
  // Index-addressed settings 1..16; 13..16 belong to the desktop and are
  // only kept here.
  void SetParameter(uint8_t index, double value);
  double GetParameter(uint8_t index) const;
  void GetParameters(SettingValues& values) const;
  // The three weather limits together, in an order the weather object's
  // guards accept; a set that is not strictly ordered changes nothing.
  bool SetWeatherLimits(double sunny, double variable, double overcast);
  // Applies what a settings file gave, each setting through `set` (the
  // station's SetParameter when empty), the weather limits together at the
  // end, then SettingsApplied.
  void ApplySettings(const Tsetup_ini::Reading& reading,
                     const std::function<void(uint8_t, double)>& set = {});
  // After a set of settings was applied: the minima and maxima restart, the
  // derived values are worked out again, and the sample a new ts asked for
  // is taken.
  void SettingsApplied();
  // The station's corrections [mbar, deg C] and the storm warning's.
  void SetCorrections(double pressure, double temperature);
  double PressureCorrection() const { return pressure_correction_; }
  double TemperatureCorrection() const { return temperature_correction_; }
  // New corrections in force from the next sample; a new pressure
  // correction moves the altimeter's reference with it, so the altitude
  // stays.
  void ApplyCorrections(double pressure, double temperature);

  // ---- State (kept under the names the windows have always used) ----
  std::unique_ptr<Tmeteo> meteo;
  Tstorm_warning storm;
  double p_sea_min = 0, p_sea_max = 0;
  double alt_min = 0, alt_max = 0;
  double t_min = 0, t_max = 0;
  double alt_offset = 0;
  double sea_offset = 0;
  double p_sea = 0;
  double alt_setting = 0;
  double p_ref = 0;
  double p_std = 0;
  // The altitude of the last good sample, not clamped [m].
  double altitude = 0;
  // Whether a local altitude has been applied since the start or the last
  // detection; until then the first sample applies 0 m, so that the
  // sea-level pressure and the altitude never come from an empty reference
  // or from one taken for another altitude.
  bool altitude_applied = false;
  // Local pressure and temperature of the last good sample, corrected;
  // every derived value comes from them, so a failed sample changes none.
  double p_local = 0;
  double t_local = 0;
  bool has_good_sample = false;
  bool last_sample_good = false;
  bool minmax_started = false;
  // While a settings file is applied, a new ts postpones its sample to the
  // end of the file; while the start applies them, the refresh waits for
  // the first sample.
  bool loading_settings = false;
  bool sample_after_loading = false;
  bool starting = false;
  bool settings_applied_pending = false;
  // Whether the refill of the history from the record is still to come:
  // once, at the first good sample after the settings are loaded.
  bool archive_refill_pending = true;
  bool storm_replay_pending = true;
  // The desktop's settings 13..16, kept for the file.
  double desktop_settings[4] = {0, 1, 0, 0};

 private:
  // TmeteoDisplay: what the weather object reports, kept for the samples
  // and passed on to the window that shows it.
  void ShowHistoryRange(double low, double high) override;
  void ShowHistoryBar(int index, double value) override;
  void ShowTrend(TrendClass trend, double variation) override;

  void RefillFromRecord();
  // Once a minute: the 3-hour tendency of the record and the storm warning.
  void UpdateTendencyAndStorm(Sample& sample);
  void FillDerived(Sample& sample) const;
  void Fan(SinkOrder order, const Sample& sample);

  Clock& clock_;
  Tsensor* sensor_ = nullptr;
  std::unique_ptr<Tsample_source> module_source_;
  Tsample_source* source_ = nullptr;
  Tarchive* archive_ = nullptr;
  TmeteoDisplay* meteo_display_ = nullptr;
  struct Entry {
    TstationSink* sink;
    SinkOrder order;
  };
  std::vector<Entry> sinks_;
  double pressure_correction_ = 0;
  double temperature_correction_ = 0;
  // The reading of the last sequence.
  SourceReading reading_;
  Sample last_;
  // The weather as last judged, and the rain or snow chosen when it became
  // precipitation.
  WeatherClass weather_seen_ = WeatherNone;
  Precipitation precipitation_ = Precipitation::kNone;
  bool has_trend_ = false;
  TrendClass trend_ = TrendSteady;
  double variation_ = 0;
  // The tendency of the present minute (worked out once a minute).
  ThreeHourTendency tendency_;
  std::time_t tendency_minute_ = -1;
  int tendency_workouts_ = 0;
};

// Why the 3-hour tendency reads "--", in words ("" when it does not).
const char* TendencyGapReason(TendencyGap gap);

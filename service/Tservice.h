#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/Tarchive.h"
#include "config/Reading_settings.h"
#include "config/Tbarometer_ini.h"
#include "iio/Tiio_devices.h"
#include "platform/ModulePort.h"
#include "publish/Mqtt_settings.h"
#include "sensor/Tsensor.h"
#include "service/Tviewer_request.h"
#include "station/Tpublisher.h"
#include "station/Tstation.h"

class Clock;
class Dialogs;
class Tsd_notify;
class Tservice_log;
class Tiio_sensor;

// barometerd's station and everything around it, without the loop: the
// port of barometer.ini (or lines given, as the simulated module's), the
// sensor, the station, the record in the folder and the publisher, set up
// from setup.ini and barometer.ini, and read again on a reload. It logs
// each change of state once (module found, lost, back; the record failing
// or back; the broker connected or lost; the storm warning raised or
// cleared) and tells the manager the state in words.
//
// The loop (Tservice_loop) calls Tick() once per tick and Reload() on
// SIGHUP; a test drives it the same way on a VirtualClock.
class Tservice : private TstationSink {
 public:
  // How often a record that failed is opened again [s].
  static constexpr int kRecordRetrySeconds = 60;

  // folder: where the files are. lines: the module's lines when they are
  // fixed (the simulated module), named `lines_name`; null opens the port
  // barometer.ini chooses. notify may be null.
  Tservice(Clock& clock, Tservice_log& log, Tsd_notify* notify, std::string folder,
           ModuleLines* lines = nullptr, std::string lines_name = std::string());
  ~Tservice() override;  // Stop()
  Tservice(const Tservice&) = delete;
  Tservice& operator=(const Tservice&) = delete;

  // Reads both files, opens the port, the record and the publisher, and
  // takes the first sample. It always runs on: a missing module, record or
  // broker is logged and tried again.
  void Start();
  // One tick: the station's sampling countdown, then the states.
  void Tick();
  // Reads both files again and applies what changed.
  void Reload();
  // Settings a viewer sent: each judged by the rules of the file that keeps
  // it (setup.ini's against the settings in force, barometer.ini's by their
  // features, MQTT as a whole), then all applied as a reload would apply
  // them and saved in the folder; or none of them, and the first refused
  // with the reason.
  struct Refusal {
    std::string key;  // the viewer's name of the setting
    std::string reason;
  };
  std::optional<Refusal> ChangeSettings(const std::vector<Tviewer_setting>& settings);
  // Commits the record and closes it, publishes "offline". Safe twice.
  void Stop();

  Tstation& Station() { return station_; }
  Tsensor& Sensor() { return *sensor_; }
  Tarchive& Record() { return archive_; }
  Tpublisher* Publisher() { return publisher_.get(); }
  // The port's name in the texts ("GPIO /dev/gpiochip0", "simulated module").
  const std::string& PortText() const { return port_name_; }
  // The port's keys in force; null when the service was given fixed lines.
  const PortChoice* Port() const { return fixed_lines_ != nullptr ? nullptr : &choice_; }
  // The module's calibration, when the station reads a module that gave
  // one (a sensor the kernel drives has its own).
  std::optional<Tsensor_wc> ModuleCalibration() const;
  const ReadingSettings& Readings() const { return readings_; }
  const TmqttSettings& Mqtt() const { return mqtt_; }
  const std::string& Folder() const { return folder_; }
  std::string RecordPath() const { return Path(Tarchive::kFileName); }
  // Samples handed out since the start.
  long Samples() const { return samples_; }
  // Called before each tick (the simulated module's test switches).
  std::function<void()> before_tick;
  // Where the kernel's IIO devices are listed (a test's fake tree).
  std::string iio_root = Tiio_devices::kDefaultRoot;

 private:
  void OnSample(const Sample& sample) override;
  // Opens the port chosen (not for fixed lines) and moves the sensor to it;
  // for port iio the station reads the kernel's sensor instead.
  void OpenPort();
  // Another port in barometer.ini: opened and detected anew, then n, ts
  // and the altitude as they were (another port may hold another module).
  void ChangePort(const PortChoice& choice);
  // Applies barometer.ini's reading settings and MQTT (all at the start,
  // what changed on a reload).
  void ApplyReadings(const ReadingSettings& readings, bool all);
  void ApplyMqtt(const TmqttSettings& mqtt, bool all);
  // Reads setup.ini and applies it: everything at the start, what changed
  // on a reload; logs the keys refused.
  void LoadSetup(bool start);
  // Applies what a reading holds that differs from the settings in force,
  // and logs it as applied from `from`; whether anything changed.
  bool ApplyChangedSetup(const Tsetup_ini::Reading& reading, const SettingValues& in_force,
                         const std::string& from);
  // The first sample after the start or a new port: the settings in force
  // first, as the desktop program takes them (setup.ini's at the start,
  // null kept; n, ts and the altitude of kept after a new port).
  void BeginMeasuring(const SettingValues* kept);
  // barometer.ini read again: keys whose values are refused keep the ones
  // in force; their names, ", "-separated.
  std::string KeepRefusedKeys(Tbarometer_ini& fresh) const;
  void WatchRecord();
  void WatchBroker();
  std::string Path(const char* name) const;

  Clock& clock_;
  Tservice_log& log_;
  Tsd_notify* notify_;
  std::string folder_;
  ModuleLines* fixed_lines_;
  std::string port_name_;
  PortChoice choice_;
  OpenedPort opened_;
  UnconnectedLines parked_{"no port"};
  std::unique_ptr<Tsensor> sensor_;
  // The kernel's sensor while port iio is chosen.
  std::unique_ptr<Tiio_sensor> iio_;
  Tstation station_;
  // The record's one box, kept for the log (made before the record).
  std::unique_ptr<Dialogs> notices_;
  Tarchive archive_;
  std::unique_ptr<Tpublisher> publisher_;
  Tbarometer_ini ini_;
  ReadingSettings readings_;
  TmqttSettings mqtt_;
  bool started_ = false;
  bool stopped_ = false;
  bool module_seen_ = false;
  long samples_ = 0;
  long ticks_ = 0;
  std::time_t start_second_ = 0;
  bool record_ok_ = true;
  std::time_t record_failed_at_ = 0;
};

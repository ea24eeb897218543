// barometerd's station: the files, the port, the record and the publisher
// around it, and the log and status of what it finds.

#include "service/Tservice.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include "config/Mqtt_ini.h"
#include "config/Port_settings.h"
#include "config/Refused_keys.h"
#include "config/Safe_save.h"
#include "config/Setting_rules.h"
#include "config/Tsetup_ini.h"
#include "iio/Tiio_sensor.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "service/Tsd_notify.h"
#include "service/Tservice_log.h"

namespace {

// The settings a new port keeps, as a new detection keeps them on the
// desktop: n, ts and the altitude.
constexpr uint8_t kKeptByDetection[3] = {kSamplingN, kSamplingTs, kAltitude};

// A number for the log: as short as it reads well, with a point.
std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// The port's keys as barometer.ini holds them: two choices with the same
// text are the same port.
std::string PortKeys(const PortChoice& choice) {
  Tbarometer_ini keys;
  WritePortChoice(choice, &keys);
  return keys.Text();
}

// What the record has to tell, kept for the log instead of a box.
class Kept_notice : public Dialogs {
 public:
  void Error(const std::string& text) override { Keep(true, text); }
  void Information(const std::string& text) override { Keep(false, text); }
  bool Confirm(const std::string&) override { return false; }
  bool OpenFileName(std::string&, const std::string&, const std::string&) override { return false; }
  bool SaveFileName(std::string&, const std::string&, const std::string&) override { return false; }

  bool error = false;
  std::string text;

 private:
  void Keep(bool is_error, const std::string& what) {
    error = is_error;
    text = what;
  }
};

Kept_notice& NoticeOf(Dialogs* dialogs) {
  return *static_cast<Kept_notice*>(dialogs);
}

}  // namespace

Tservice::Tservice(Clock& clock, Tservice_log& log, Tsd_notify* notify, std::string folder,
                   ModuleLines* lines, std::string lines_name)
    : clock_(clock),
      log_(log),
      notify_(notify),
      folder_(std::move(folder)),
      fixed_lines_(lines),
      port_name_(std::move(lines_name)),
      station_(clock),
      notices_(new Kept_notice),
      archive_(clock, notices_.get()) {
  // The record keeps its own batches (a commit every 5 s): longer ones or
  // fewer checkpoints write hardly less, and would put more at risk.
  if (fixed_lines_ != nullptr && port_name_.empty()) port_name_ = fixed_lines_->Describe();
}

Tservice::~Tservice() {
  Stop();
}

std::string Tservice::Path(const char* name) const {
  return folder_ + "/" + name;
}

// ---------------------------------------------------------------------------
// Start and stop

void Tservice::Start() {
  if (started_) return;
  started_ = true;
  if (!ini_.Load(Path(Tbarometer_ini::kFileName)))
    log_.Warning("barometer.ini: " + ini_.LastError() + "; the defaults are in force");
  const std::vector<std::string> refused = RefusedBarometerKeys(ini_);
  if (!refused.empty()) {
    std::string keys;
    for (const std::string& key : refused) keys += (keys.empty() ? "" : ", ") + key;
    log_.Warning("barometer.ini: values refused, the defaults are in force for: " + keys);
  }
  readings_ = LoadReadingSettings(ini_);
  mqtt_ = LoadMqttSettings(ini_);

  if (fixed_lines_ != nullptr) {
    sensor_ = std::make_unique<Tsensor>(*fixed_lines_, clock_);
    station_.UseSensor(sensor_.get());
  } else {
    choice_ = ReadPortChoice(ini_);
    sensor_ = std::make_unique<Tsensor>(parked_, clock_);
    station_.UseSensor(sensor_.get());
    OpenPort();
  }
  log_.Info("Starting on " + port_name_ + " in " + folder_);

  archive_.Open(Path(Tarchive::kFileName));
  station_.UseRecord(&archive_);
  WatchRecord();

  ApplyReadings(readings_, true);
  publisher_ = std::make_unique<Tpublisher>();
  station_.AddSink(publisher_.get(), SinkOrder::kPublisher);
  station_.AddSink(this, SinkOrder::kView);
  ApplyMqtt(mqtt_, true);

  BeginMeasuring(nullptr);
  start_second_ = clock_.Now();
  WatchRecord();
}

void Tservice::Stop() {
  if (stopped_ || !started_) return;
  stopped_ = true;
  station_.RemoveSink(this);
  if (publisher_) {
    station_.RemoveSink(publisher_.get());
    publisher_.reset();  // "offline" goes out, the client disconnects
  }
  const bool recording = archive_.IsRecording();
  station_.UseRecord(nullptr);
  archive_.Close();
  log_.Info(recording ? "Stopping: the record is committed" : "Stopping");
  station_.UseSource(nullptr);
  iio_.reset();
  sensor_.reset();  // its last drive takes the module's supply away
  opened_ = OpenedPort();
}

void Tservice::OpenPort() {
  // The port in use is given up first: the new one may be the same device.
  sensor_->UseLines(parked_);
  opened_ = OpenedPort();
  opened_ = OpenModulePort(choice_);
  sensor_->UseLines(*opened_.lines);
  port_name_ = PortName(choice_);
  const std::string problem = CheckPortChoice(choice_);
  if (!problem.empty()) log_.Warning("Port " + port_name_ + ": " + problem);
  if (!opened_.finding.empty()) log_.Warning("Port " + port_name_ + ": " + opened_.finding);

  // The kernel's sensor in the module's place, or the module again, with
  // the n and ts in force.
  if (choice_.kind == PortChoice::Kind::kIio) {
    auto iio = std::make_unique<Tiio_sensor>(clock_, choice_.iio_device, iio_root);
    station_.MoveToSource(iio.get());
    iio_ = std::move(iio);
  } else if (iio_) {
    station_.MoveToSensor(sensor_.get());
    iio_.reset();
  }
}

std::optional<Tsensor_wc> Tservice::ModuleCalibration() const {
  if (iio_ || !sensor_ || !sensor_->HasCalibration()) return std::nullopt;
  Tsensor_wc calibration;
  sensor_->GetCalibration(&calibration);
  return calibration;
}

void Tservice::ChangePort(const PortChoice& choice) {
  SettingValues kept;
  station_.GetParameters(kept);
  choice_ = choice;
  OpenPort();
  log_.Info("Port changed: now " + port_name_);
  module_seen_ = false;
  log_.Forget("module");
  std::string why;
  station_.Source()->Detect(&why);
  BeginMeasuring(&kept);
}

void Tservice::BeginMeasuring(const SettingValues* kept) {
  // As the desktop program starts: the settings first, so that the first
  // sample is taken with their n and ts, and the refresh that follows a
  // set of settings waits for it.
  station_.starting = true;
  station_.settings_applied_pending = false;
  station_.has_good_sample = false;
  if (kept == nullptr) {
    LoadSetup(true);
  } else {
    Tsetup_ini::Reading again;
    for (uint8_t key : kKeptByDetection) again.apply.push_back({key, (*kept)[key]});
    station_.ResetForDetection();
    station_.ApplySettings(again);
  }
  station_.starting = false;
  station_.sample_after_loading = false;
  const bool taken = station_.Measure(true);
  if (station_.settings_applied_pending) station_.SettingsApplied();
  if (taken) station_.Deliver();
}

// ---------------------------------------------------------------------------
// The tick

void Tservice::Tick() {
  if (!started_ || stopped_) return;
  ++ticks_;
  if (before_tick) before_tick();
  // The start took its sample: the loop's first tick, due at once, would
  // take a second one in the same second.
  if (ticks_ > 1 || clock_.Now() != start_second_) station_.Tick();
  WatchRecord();
  WatchBroker();
}

void Tservice::OnSample(const Sample& sample) {
  ++samples_;
  std::string status;
  if (sample.good) {
    if (!module_seen_) {
      module_seen_ = true;
      log_.Change("module", "found", LogPriority::kInfo, "Module found on " + port_name_);
    } else {
      log_.Change("module", "found", LogPriority::kInfo, "Module back on " + port_name_);
    }
    std::tm local{};
    const std::time_t t = sample.time;
    localtime_r(&t, &local);
    char text[96];
    std::snprintf(text, sizeof text, "Recording: %.1f mbar at %02d:%02d:%02d",
                  sample.sea_level_pressure, local.tm_hour, local.tm_min, local.tm_sec);
    status = text;
  } else if (sample.failure == SampleFailure::kNoModule ||
             sample.failure == SampleFailure::kReadError) {
    const std::string reason = sample.reason.empty() ? "no answer" : sample.reason;
    if (!module_seen_) {
      status = "No module found on " + port_name_ + ": " + reason;
      log_.Change("module", "absent", LogPriority::kWarning, status + "; the service keeps trying");
    } else {
      status = "Module lost on " + port_name_ + ": " + reason;
      log_.Change("module", "lost", LogPriority::kWarning, status + "; the service keeps trying");
    }
  } else {
    // The module answers, but the reading is no data: the state stays.
    status = "Reading refused on " + port_name_ + ": " + sample.reason;
  }
  if (notify_ != nullptr) notify_->Status(status);

  if (sample.storm_event == StormEvent::kRaised) {
    log_.Warning("Storm warning: the pressure fell " +
                 Number(std::round(sample.storm_fall * 10) / 10) + " mbar in 3 hours");
  } else if (sample.storm_event == StormEvent::kCleared) {
    log_.Info("Storm warning cleared");
  }
}

void Tservice::WatchRecord() {
  Kept_notice& notice = NoticeOf(notices_.get());
  notice.text.clear();
  if (archive_.HasNotice()) archive_.ShowNotice();
  const std::time_t now = clock_.Now();
  if (archive_.IsRecording()) {
    if (!record_ok_) log_.Info("The record is written again: " + archive_.Path());
    record_ok_ = true;
    // What the record tells while it records (a damaged file put aside).
    if (!notice.text.empty())
      log_.Write(notice.error ? LogPriority::kWarning : LogPriority::kInfo, notice.text);
    return;
  }
  if (record_ok_) {
    record_ok_ = false;
    record_failed_at_ = now;
    log_.Error("The record fails: " + archive_.FailureText() +
               " The service measures on and tries the record again every minute.");
    return;
  }
  // Opened again now and then: a disk that was full may have room again.
  if (now - record_failed_at_ >= kRecordRetrySeconds || now < record_failed_at_) {
    record_failed_at_ = now;
    archive_.Open(Path(Tarchive::kFileName));
    if (archive_.HasNotice()) archive_.ShowNotice();
    if (archive_.IsRecording()) {
      record_ok_ = true;
      log_.Info("The record is written again: " + archive_.Path());
    }
  }
}

void Tservice::WatchBroker() {
  if (!publisher_ || !mqtt_.enabled) {
    log_.Forget("mqtt");
    return;
  }
  const TmqttStatus status = publisher_->client.Status();
  const std::string broker = mqtt_.host + ":" + std::to_string(mqtt_.port);
  switch (status.phase) {
    case TmqttPhase::Connected:
      log_.Change("mqtt", "connected", LogPriority::kInfo, "MQTT: connected to " + broker);
      break;
    case TmqttPhase::Waiting:
      log_.Change("mqtt", "lost", LogPriority::kWarning,
                  "MQTT: " +
                      std::string(log_.State("mqtt") == "connected" ? "connection lost to "
                                                                    : "cannot connect to ") +
                      broker + ": " + status.words + "; trying again");
      break;
    case TmqttPhase::Off:
      log_.Change("mqtt", "off", LogPriority::kWarning, "MQTT: not publishing: " + status.words);
      break;
    case TmqttPhase::Connecting:
    case TmqttPhase::Done:
      break;
  }
}

// ---------------------------------------------------------------------------
// Settings

void Tservice::LoadSetup(bool start) {
  SettingValues in_force;
  station_.GetParameters(in_force);
  const Tsetup_ini::Reading reading = Tsetup_ini::Read(Path(Tsetup_ini::kFileName), in_force);
  const std::string kept = start ? "the defaults are in force" : "the settings in force stay";
  if (!reading.opened) {
    log_.Warning(reading.error + " (" + Path(Tsetup_ini::kFileName) + "); " + kept);
    return;
  }
  if (!reading.any_setting) {
    log_.Warning("setup.ini holds no settings; " + kept);
    return;
  }
  if (!reading.refused_keys.empty()) {
    log_.Warning("setup.ini: values refused, " +
                 std::string(start ? "the defaults are" : "the values in force stay") +
                 " in force for: " + reading.refused_keys);
  }
  if (start) {
    station_.ApplySettings(reading);
    return;
  }
  ApplyChangedSetup(reading, in_force, "setup.ini");
}

bool Tservice::ApplyChangedSetup(const Tsetup_ini::Reading& reading, const SettingValues& in_force,
                                 const std::string& from) {
  // Only what changed is applied: the altitude applied again would take
  // the present pressure as its reference anew, a ts again a sample.
  Tsetup_ini::Reading changed = reading;
  changed.apply.clear();
  std::string said;
  auto note = [&](uint8_t key, double value) {
    said += (said.empty() ? "" : ", ") + std::string(Tsetup_ini::Key(key)) + " " +
            Number(in_force[key]) + " -> " + Number(value);
  };
  for (const Tsetup_ini::Setting& s : reading.apply) {
    if (s.value == in_force[s.key]) continue;
    changed.apply.push_back(s);
    note(s.key, s.value);
  }
  bool any_limit = false;
  for (int i = 0; i < 3; ++i) {
    const uint8_t key = static_cast<uint8_t>(kSunnyLimit + i);
    if (changed.has_limit[i] && changed.limits[i] == in_force[key]) {
      changed.has_limit[i] = false;
    } else if (changed.has_limit[i]) {
      any_limit = true;
      note(key, changed.limits[i]);
    }
  }
  if (changed.apply.empty() && !any_limit) return false;
  station_.ApplySettings(changed);
  log_.Info(from + ": applied " + said);
  return true;
}

void Tservice::ApplyReadings(const ReadingSettings& r, bool all) {
  if (all || r.pressure_correction != readings_.pressure_correction ||
      r.temperature_correction != readings_.temperature_correction) {
    if (all) {
      station_.SetCorrections(r.pressure_correction, r.temperature_correction);
    } else {
      station_.ApplyCorrections(r.pressure_correction, r.temperature_correction);
      log_.Info("barometer.ini: corrections " + Number(r.pressure_correction) + " mbar, " +
                Number(r.temperature_correction) + " deg C");
    }
  }
  if (all || r.storm_threshold != readings_.storm_threshold) {
    station_.storm.SetThreshold(r.storm_threshold);
    if (!all)
      log_.Info("barometer.ini: storm warning at " + Number(r.storm_threshold) +
                " mbar in 3 hours");
  }
  if (all || r.storm_warning != readings_.storm_warning) {
    const bool cleared =
        station_.storm.SetEnabled(r.storm_warning) == Tstorm_warning::Event::Cleared;
    if (!all)
      log_.Info(std::string("barometer.ini: storm warning ") + (r.storm_warning ? "on" : "off"));
    if (cleared) log_.Info("Storm warning cleared");
  }
  readings_ = r;
}

void Tservice::ApplyMqtt(const TmqttSettings& m, bool all) {
  const bool same = m.enabled == mqtt_.enabled && m.host == mqtt_.host && m.port == mqtt_.port &&
                    m.tls == mqtt_.tls && m.ca_file == mqtt_.ca_file && m.user == mqtt_.user &&
                    m.password == mqtt_.password && m.client_id == mqtt_.client_id &&
                    m.base_topic == mqtt_.base_topic && m.interval == mqtt_.interval &&
                    m.retain == mqtt_.retain && m.discovery == mqtt_.discovery;
  if (!all && same) return;
  mqtt_ = m;
  log_.Forget("mqtt");
  if (publisher_) publisher_->Apply(m);
  if (m.enabled)
    log_.Info("MQTT: publishing to " + m.host + ":" + std::to_string(m.port) + " under " +
              m.base_topic);
  else if (!all)
    log_.Info("MQTT: publishing switched off");
}

std::string Tservice::KeepRefusedKeys(Tbarometer_ini& fresh) const {
  std::string keys;
  for (const std::string& key : RefusedBarometerKeys(fresh)) {
    if (ini_.Has(key))
      fresh.Set(key, ini_.Get(key));
    else
      fresh.Remove(key);
    keys += (keys.empty() ? "" : ", ") + key;
  }
  return keys;
}

void Tservice::Reload() {
  if (!started_ || stopped_) return;
  log_.Info("Reading setup.ini and barometer.ini again");
  LoadSetup(false);

  Tbarometer_ini fresh;
  if (!fresh.Load(Path(Tbarometer_ini::kFileName))) {
    log_.Error("barometer.ini: " + fresh.LastError() + "; the settings in force stay");
    return;
  }
  const std::string refused = KeepRefusedKeys(fresh);
  if (!refused.empty())
    log_.Warning("barometer.ini: values refused, the values in force stay for: " + refused);
  ApplyReadings(LoadReadingSettings(fresh), false);
  ApplyMqtt(LoadMqttSettings(fresh), false);
  if (fixed_lines_ == nullptr) {
    const PortChoice choice = ReadPortChoice(fresh);
    if (PortKeys(choice) != PortKeys(choice_)) ChangePort(choice);
  }
  ini_ = fresh;
}

// ---------------------------------------------------------------------------
// Settings from a viewer

namespace {

// setup.ini's settings under the names the viewers use.
struct Viewer_setup_key {
  const char* name;
  uint8_t index;
};
constexpr Viewer_setup_key kViewerSetupKeys[] = {
    {"n", kSamplingN},
    {"ts", kSamplingTs},
    {"altitude", kAltitude},
    {"sunny_limit", kSunnyLimit},
    {"variable_limit", kVariableLimit},
    {"overcast_limit", kOvercastLimit},
    {"hysteresis", kHysteresis},
    {"quick_down_rate", kQuickDownRate},
    {"slow_down_rate", kSlowDownRate},
    {"quick_up_rate", kQuickUpRate},
    {"slow_up_rate", kSlowUpRate},
};

uint8_t SetupIndex(const std::string& name) {
  for (const Viewer_setup_key& k : kViewerSetupKeys)
    if (name == k.name) return k.index;
  return 0;
}

std::string ViewerName(uint8_t index) {
  for (const Viewer_setup_key& k : kViewerSetupKeys)
    if (index == k.index) return k.name;
  return std::string();
}

// Why setup.ini does not take a value, by the rule it breaks.
std::string SetupReason(uint8_t index) {
  using namespace setting_rules;
  switch (index) {
    case kSamplingN:
      return "n is a whole number from 1 to " + Number(kLargestSampleCount) + "; more than " +
             Number(kLargeSampleCount) + " need a ts of at least " +
             Number(kShortestIntervalForLargeCount) + " s";
    case kSamplingTs:
      return "ts is a whole number of seconds from 1 to " + Number(kLongestSequenceInterval) +
             ", at least " + Number(kShortestIntervalForLargeCount) + " with n above " +
             Number(kLargeSampleCount);
    case kAltitude:
      return "the altitude is from " + Number(kLowestAltitude) + " to " + Number(kHighestAltitude) +
             " m";
    case kSunnyLimit:
    case kVariableLimit:
    case kOvercastLimit:
      return "the weather limits stay in order: sunny above variable above overcast";
    case kHysteresis:
      return "the hysteresis is from 0 to " + Number(kLargestHysteresis) + " mbar";
    default:
      return "the trend rates stay in order: quick down, slow down, slow up, quick up, each at "
             "least the one before";
  }
}

// The setting a problem of the MQTT settings is about, by the dialog's
// field it names.
std::string MqttKey(const std::string& field, bool password_given) {
  if (field == "Host") return "mqtt_host";
  if (field == "Port") return "mqtt_port";
  if (field == "Base topic") return "mqtt_base_topic";
  if (field == "Interval") return "mqtt_interval";
  if (field == "User") return password_given ? "mqtt_password" : "mqtt_user";
  if (field == "CA file") return "mqtt_tls";
  return "mqtt_enabled";
}

// Whether a viewer's setting is one of the port's keys of barometer.ini.
bool IsPortKey(const std::string& key) {
  for (const char* prefix : {"lpt_", "gpio_", "ftdi_", "iio_"})
    if (key.compare(0, std::strlen(prefix), prefix) == 0) return true;
  return key == "port";
}

// Why a device a viewer names is not one the service may open: the port's
// devices are under /dev, a kernel sensor given by its folder is under the
// IIO root (by name it is looked up there anyway). Empty when it may.
std::string ViewerDeviceProblem(const std::string& key, const std::string& value,
                                const std::string& iio_root) {
  const bool iio = key == "iio_device";
  if ((key != "lpt_device" && key != "gpio_chip" && !iio) ||
      (iio && value.find('/') == std::string::npos))
    return std::string();
  const std::string under = iio ? iio_root + "/" : std::string("/dev/");
  if (value.compare(0, under.size(), under) == 0 && value.find("/..") == std::string::npos &&
      value.find("../") == std::string::npos)
    return std::string();
  return "a viewer may only name a device under " + under;
}

// A port check's box text as a reason: "Error : The ... ." without the
// frame.
std::string PortReason(std::string text) {
  const std::string frame = "Error : ";
  if (text.compare(0, frame.size(), frame) == 0) text.erase(0, frame.size());
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

}  // namespace

std::optional<Tservice::Refusal> Tservice::ChangeSettings(
    const std::vector<Tviewer_setting>& settings) {
  if (!started_ || stopped_) return Refusal{"", "the service is stopping"};
  SettingValues in_force;
  station_.GetParameters(in_force);
  std::vector<Tsetup_ini::Given> setup;
  Tbarometer_ini fresh = ini_;
  fresh.ClearRefusals();
  bool mqtt_given = false, password_given = false, ini_given = false;
  std::string port_key;  // the first of the port's keys given
  for (const Tviewer_setting& s : settings) {
    const Tviewer_value& v = s.value;
    if (const uint8_t index = SetupIndex(s.key)) {
      if (v.kind != Tviewer_value::Kind::kNumber) return Refusal{s.key, "a number is expected"};
      setup.push_back({index, v.number, true});
      continue;
    }
    ini_given = true;
    mqtt_given = mqtt_given || s.key.compare(0, 5, "mqtt_") == 0;
    password_given = password_given || s.key == "mqtt_password";
    if (port_key.empty() && IsPortKey(s.key)) port_key = s.key;
    if (v.kind == Tviewer_value::Kind::kString) {
      const std::string problem = ViewerDeviceProblem(s.key, v.text, iio_root);
      if (!problem.empty()) return Refusal{s.key, problem};
    }
    if (v.kind == Tviewer_value::Kind::kBool)
      fresh.SetBool(s.key, v.flag);
    else if (v.kind == Tviewer_value::Kind::kString)
      fresh.Set(s.key, v.text);
    else if (v.number == std::floor(v.number) && std::fabs(v.number) <= 2147483647.0)
      fresh.SetInt(s.key, static_cast<int>(v.number));
    else
      fresh.SetNumber(s.key, v.number);
  }

  // setup.ini's settings, as the file's would be judged.
  const Tsetup_ini::Reading reading = Tsetup_ini::Judge(setup, in_force);
  if (!reading.refused.empty())
    return Refusal{ViewerName(reading.refused.front()), SetupReason(reading.refused.front())};
  // barometer.ini's, by the getters of their features.
  for (const std::string& key : RefusedBarometerKeys(fresh)) {
    for (const Tviewer_setting& s : settings) {
      if (s.key != key) continue;
      for (const Tbarometer_ini::Refusal& r : fresh.Refusals())
        if (r.key == key) return Refusal{key, r.reason};
      return Refusal{key, "not taken"};
    }
  }
  const TmqttSettings mqtt = LoadMqttSettings(fresh);
  if (mqtt_given) {
    if (const std::optional<TmqttProblem> problem = CheckMqttSettings(mqtt))
      return Refusal{MqttKey(problem->field, password_given), problem->text};
  }

  // The port: checked as the port dialog checks it. A service started on
  // fixed lines (the simulated module) keeps them.
  const PortChoice port = ReadPortChoice(fresh);
  bool port_changed = false;
  if (!port_key.empty()) {
    if (fixed_lines_ != nullptr)
      return Refusal{port_key, "the service measures on " + port_name_ +
                                   " as it was started; its port cannot be changed"};
    port_changed = PortKeys(port) != PortKeys(choice_);
    if (port_changed) {
      const std::string problem = CheckPortChoice(port);
      if (!problem.empty()) return Refusal{"port", PortReason(problem)};
    }
  }

  ApplyChangedSetup(reading, in_force, "A viewer");
  if (ini_given) {
    ApplyReadings(LoadReadingSettings(fresh), false);
    ApplyMqtt(mqtt, false);
    ini_ = fresh;
  }
  if (port_changed) ChangePort(port);

  // Saved as the desktop program saves them: setup.ini whole, barometer.ini
  // with every other line kept.
  if (!setup.empty()) {
    SettingValues now;
    station_.GetParameters(now);
    if (!WriteWhole(Path(Tsetup_ini::kFileName), Tsetup_ini::Text(now))) {
      const std::string why = std::strerror(errno);
      log_.Error("setup.ini: the settings a viewer changed are in force but not saved: " + why);
      return Refusal{ViewerName(setup.front().key),
                     "in force, but setup.ini could not be saved: " + why};
    }
  }
  if (ini_given && !ini_.Save()) {
    log_.Error("barometer.ini: the settings a viewer changed are in force but not saved: " +
               ini_.LastError());
    for (const Tviewer_setting& s : settings)
      if (!SetupIndex(s.key))
        return Refusal{s.key,
                       "in force, but barometer.ini could not be saved: " + ini_.LastError()};
  }
  return std::nullopt;
}

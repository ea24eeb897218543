// The desktop program as the recording service's viewer.

#include "main/Tservice_view.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "archive/Tarchive.h"
#include "config/Mqtt_ini.h"
#include "config/Port_settings.h"
#include "config/Tbarometer_ini.h"
#include "config/Tsetup_ini.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/Dialogs.h"
#include "station/Tstation.h"
#include "windows/Tdebug.h"
#include "windows/Tintro.h"

namespace {

// The station's settings of setup.ini under the names the service uses
// (index 8, the sea-level difference, is none of them).
constexpr const char* kIndexedKeys[kSettingCount + 1] = {
    nullptr,          "n",          "ts",    "altitude",        "sunny_limit",    "variable_limit",
    "overcast_limit", "hysteresis", nullptr, "quick_down_rate", "slow_down_rate", "quick_up_rate",
    "slow_up_rate",   nullptr,      nullptr, nullptr,           nullptr};

struct Found {
  bool asked = false;
  std::unique_ptr<Tviewer_link> link;
  std::vector<ViewerEvent> events;
};

Found& Finding() {
  static Found found;
  return found;
}

TWmain* MainWindow() {
  ProgramState& program = Program();
  return program.Wmain != nullptr && program.Wmain_alive ? program.Wmain : nullptr;
}

void ShowLaterOrNow(std::function<void()> show) {
  if (TWmain* wmain = MainWindow())
    wmain->ShowLater(std::move(show));
  else
    show();
}

}  // namespace

bool FindRecordingService() {
  Found& found = Finding();
  if (found.asked) return found.link != nullptr;
  found.asked = true;
  Tbarometer_ini ini;
  ini.Load(Tbarometer_ini::kFileName);
  auto link = std::make_unique<Tviewer_link>(ini.Get("service_socket", Tviewer_link::kDefaultPath));
  std::vector<ViewerEvent> events;
  link->WaitForHello(Tservice_view::kHelloWaitMs, events);
  // A service that refused this user closed the connection with its reason
  // (or the file's mode kept the user out): it runs all the same.
  if (link->GetState() == Tviewer_link::State::kConnected ||
      link->GetState() == Tviewer_link::State::kRefused) {
    found.link = std::move(link);
    found.events = std::move(events);
  }
  return found.link != nullptr;
}

std::unique_ptr<Tservice_view> TakeRecordingService() {
  Found& found = Finding();
  if (!found.link) return nullptr;
  return std::make_unique<Tservice_view>(std::move(found.link), std::move(found.events));
}

void ForgetRecordingService() {
  Found& found = Finding();
  found.asked = false;
  found.link.reset();
  found.events.clear();
}

Tjson Tservice_view::Number(double value) {
  Tjson v;
  v.type = Tjson::Type::kNumber;
  v.number = value;
  return v;
}

Tjson Tservice_view::Bool(bool value) {
  Tjson v;
  v.type = Tjson::Type::kBool;
  v.boolean = value;
  return v;
}

Tjson Tservice_view::Text(const std::string& value) {
  Tjson v;
  v.type = Tjson::Type::kString;
  v.text = value;
  return v;
}

Tservice_view::Tservice_view(std::unique_ptr<Tviewer_link> link, std::vector<ViewerEvent> early)
    : link_(std::move(link)), early_(std::move(early)) {
  own_readings_ = Program().readings;
  timer_ = new QTimer(this);
  timer_->setInterval(kPollMs);
  connect(timer_, &QTimer::timeout, this, [this] { Poll(); });
}

Tservice_view::~Tservice_view() = default;

std::optional<double> Tservice_view::StationSetting(uint8_t index) const {
  if (index < 1 || index > kSettingCount || kIndexedKeys[index] == nullptr) return std::nullopt;
  const Tjson* v = settings_.Find(kIndexedKeys[index]);
  if (v == nullptr || !v->IsNumber()) return std::nullopt;
  return v->number;
}

void Tservice_view::Start() {
  ProgramState& program = Program();
  own_readings_ = program.readings;
  // Nothing here measures, records or publishes: the service does.
  if (TWmain* wmain = MainWindow()) {
    // The port may be asked of the service once it told its own.
    for (QAction* item : {wmain->DetectmoduleonLPT11, wmain->Moduleport1})
      if (item != nullptr) item->setEnabled(false);
  }
  std::vector<ViewerEvent> early;
  early.swap(early_);
  started_ = true;
  if (Refused()) {
    ShowState(Tviewer_link::kRefusedText);
    if (program.dialogs != nullptr) {
      const std::string text = std::string("Note: ") + Tviewer_link::kRefusedText + ".";
      ShowLaterOrNow([text] {
        if (Program().dialogs != nullptr) Program().dialogs->Information(text);
      });
    }
  }
  if (!Refused()) {
    // The windows take over from the splash at once: the service measures.
    if (program.Wintro != nullptr && program.Wintro_alive) program.Wintro->hide();
    if (TWmain* wmain = MainWindow()) {
      wmain->InitDisplays();
      // The person's own window settings of setup.ini: whether the small
      // window shows, the autosave, the small window's place.
      SettingValues in_force;
      for (uint8_t index = 1; index <= kSettingCount; ++index)
        in_force[index] = wmain->GetParameter(index);
      const Tsetup_ini::Reading reading = Tsetup_ini::Read(Tsetup_ini::kFileName, in_force);
      std::copy(std::begin(in_force), std::end(in_force), std::begin(own_setup_));
      for (const Tsetup_ini::Setting& s : reading.apply) {
        own_setup_[s.key] = s.value;
        if (s.key >= kMinimized) wmain->SetParameter(s.key, s.value);
      }
      wmain->settings_taken_ = true;
      wmain->ShowReadingFailed();
    }
  }
  // The hello and what came with it, into the displays made ready above.
  for (ViewerEvent& e : early) Handle(e);
  if (!Refused()) {
    if (TWmain* wmain = MainWindow()) wmain->ApplyMinimized();
  }
  Watch();
  timer_->start();
}

void Tservice_view::Watch() {
  // The socket changes with every connection: the notifier follows it.
  if (link_->Fd() == watched_fd_) return;
  delete notifier_;
  notifier_ = nullptr;
  watched_fd_ = link_->Fd();
  if (watched_fd_ < 0) return;
  notifier_ = new QSocketNotifier(static_cast<qintptr>(watched_fd_), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { Poll(); });
}

void Tservice_view::Poll() {
  std::vector<ViewerEvent> events;
  link_->Poll(events);
  for (ViewerEvent& e : events) Handle(e);
  if (started_) Watch();
}

void Tservice_view::ShowState(const std::string& line) {
  ProgramState& program = Program();
  const QString text = QString::fromStdString(line);
  if (program.Wintro != nullptr && program.Wintro_alive) program.Wintro->lbstatus->setText(text);
  TWmain* wmain = MainWindow();
  if (wmain == nullptr) return;
  QStatusBar* bar = wmain->statusBar();
  bar->showMessage(text);
  // A menu's status tips clear the line as they go: it comes back after.
  if (!status_watched_) {
    status_watched_ = true;
    connect(bar, &QStatusBar::messageChanged, this, [this, bar](const QString& shown) {
      if (shown.isEmpty() && !state_line_.isEmpty()) bar->showMessage(state_line_);
    });
  }
  state_line_ = text;
}

Tbarometer_ini Tservice_view::SettingsAsIni() const {
  Tbarometer_ini ini;
  for (const auto& [key, value] : settings_.members) {
    if (value.IsString())
      ini.Set(key, value.text);
    else if (value.IsBool())
      ini.SetBool(key, value.boolean);
    else if (value.IsNumber())
      ini.Set(key, value.Write());
  }
  return ini;
}

std::optional<PortChoice> Tservice_view::ServicePort() const {
  if (settings_.Find("port") == nullptr) return std::nullopt;
  return ReadPortChoice(SettingsAsIni());
}

bool Tservice_view::SendPort(const PortChoice& choice) {
  std::vector<std::pair<std::string, Tjson>> named;
  for (const PortKeyValue& k : PortKeyValues(choice))
    named.emplace_back(k.key, k.number ? Number(std::stod(k.value)) : Text(k.value));
  return SendStationSettings({}, std::move(named));
}

TmqttSettings Tservice_view::ServiceMqtt() const {
  return LoadMqttSettings(SettingsAsIni());
}

bool Tservice_view::SendMqtt(const TmqttSettings& m) {
  std::vector<std::pair<std::string, Tjson>> named = {{"mqtt_enabled", Bool(m.enabled)},
                                                      {"mqtt_host", Text(m.host)},
                                                      {"mqtt_port", Number(m.port)},
                                                      {"mqtt_tls", Bool(m.tls)},
                                                      {"mqtt_user", Text(m.user)},
                                                      {"mqtt_client_id", Text(m.client_id)},
                                                      {"mqtt_base_topic", Text(m.base_topic)},
                                                      {"mqtt_interval", Number(m.interval)},
                                                      {"mqtt_retain", Bool(m.retain)},
                                                      {"mqtt_discovery", Bool(m.discovery)}};
  if (!m.password.empty()) named.emplace_back("mqtt_password", Text(m.password));
  return SendStationSettings({}, std::move(named));
}

void Tservice_view::TakeStation(const ViewerEvent& e) {
  if (!e.port.empty()) port_ = e.port;
  calibration_ = e.calibration;
  TakeSettings(e.settings);
  ProgramState& program = Program();
  const std::string what = "View of the recording service, measuring on " + port_;
  if (TWmain* wmain = MainWindow()) {
    wmain->setWindowTitle(QString::fromStdString("NORVATECH's Barometer - " + what));
    // The port is the service's to change where it may be changed.
    if (wmain->Moduleport1 != nullptr) wmain->Moduleport1->setEnabled(ServicePort().has_value());
  }
  if (program.Wdebug != nullptr && program.Wdebug_alive)
    program.Wdebug->Memo1->setPlainText(QString::fromStdString(
        what + "\nRecord (read only): " + record_ + "\nService version " + version_));
}

void Tservice_view::TakeSettings(const Tjson& settings) {
  settings_ = settings;
  ProgramState& program = Program();
  Tstation* station = program.station;
  if (station != nullptr) {
    if (const auto altitude = StationSetting(kAltitude)) station->alt_setting = *altitude;
  }
  // The corrections dialog shows the service's corrections and storm
  // warning; the person's own barometer.ini keeps its values.
  ReadingSettings& r = program.readings;
  r.pressure_correction = settings.NumberOf("pressure_correction", r.pressure_correction);
  r.temperature_correction = settings.NumberOf("temperature_correction", r.temperature_correction);
  r.storm_warning = settings.BoolOf("storm_warning", r.storm_warning);
  r.storm_threshold = settings.NumberOf("storm_threshold", r.storm_threshold);
  if (TWmain* wmain = MainWindow()) wmain->ShowDerived();
}

void Tservice_view::Handle(ViewerEvent& e) {
  ProgramState& program = Program();
  switch (e.kind) {
    case ViewerEvent::Kind::kHello: {
      port_ = e.port;
      // The service's record, read as it is written; reopened when the
      // service came back with another.
      if (e.record != record_ || program.archive == nullptr) {
        record_ = e.record;
        if (program.archive == nullptr && program.clock != nullptr)
          program.archive = new Tarchive(*program.clock, nullptr);
        if (program.archive != nullptr) program.archive->OpenForReading(record_);
        if (program.station != nullptr) program.station->UseRecord(program.archive);
      }
      version_ = e.version;
      TakeStation(e);
      storm_raised_ = false;
      ShowState("Connected to the recording service");
      break;
    }
    case ViewerEvent::Kind::kSample:
      if (storm_raised_ && e.sample.storm_active) e.sample.storm_event = StormEvent::kRaised;
      storm_raised_ = false;
      if (program.station != nullptr) program.station->DeliverFrom(e.sample);
      break;
    case ViewerEvent::Kind::kSettings:
      TakeStation(e);
      break;
    case ViewerEvent::Kind::kStormRaised:
      storm_raised_ = true;
      break;
    case ViewerEvent::Kind::kModuleLost:
      if (TWmain* wmain = MainWindow()) wmain->ShowReadingFailed();
      ShowState("The recording service lost its module" +
                (e.reason.empty() ? std::string() : ": " + e.reason));
      break;
    case ViewerEvent::Kind::kModuleBack:
      ShowState("Connected to the recording service");
      break;
    case ViewerEvent::Kind::kStopping:
    case ViewerEvent::Kind::kDisconnected:
      if (Refused()) break;
      if (TWmain* wmain = MainWindow()) wmain->ShowReadingFailed();
      ShowState("Recording service stopped");
      break;
    case ViewerEvent::Kind::kRefused:
      ShowState(Tviewer_link::kRefusedText);
      break;
    case ViewerEvent::Kind::kReply:
      if (!e.ok) {
        // Told once the event that brought it is handled, never inside it.
        const std::string text = "Error : The recording service did not take the setting " +
                                 (e.key.empty() ? std::string("asked for") : e.key) +
                                 (e.reason.empty() ? std::string(".") : ": " + e.reason + ".");
        ShowLaterOrNow([text] {
          if (Program().dialogs != nullptr) Program().dialogs->Error(text);
        });
      }
      break;
    case ViewerEvent::Kind::kError:
    case ViewerEvent::Kind::kStormCleared:
      break;
  }
}

bool Tservice_view::SendStationSettings(const std::vector<std::pair<uint8_t, double>>& indexed,
                                        std::vector<std::pair<std::string, Tjson>> named) {
  std::vector<std::pair<std::string, Tjson>> changed;
  for (const auto& [index, value] : indexed) {
    if (index < 1 || index > kSettingCount || kIndexedKeys[index] == nullptr) continue;
    const std::optional<double> now = StationSetting(index);
    if (now && *now == value) continue;
    changed.emplace_back(kIndexedKeys[index], Number(value));
  }
  for (auto& [key, value] : named) {
    const Tjson* now = settings_.Find(key);
    if (now != nullptr && now->Write() == value.Write()) continue;
    changed.emplace_back(std::move(key), std::move(value));
  }
  if (changed.empty()) return true;
  if (link_->SendSet(changed) != 0) return true;
  const std::string text = "Error : The settings could not be sent: " + link_->StateText() + ".";
  ShowLaterOrNow([text] {
    if (Program().dialogs != nullptr) Program().dialogs->Error(text);
  });
  return false;
}

void Tservice_view::ApplyReadingSettings(const ReadingSettings& settings) {
  ProgramState& program = Program();
  SendStationSettings({}, {{"pressure_correction", Number(settings.pressure_correction)},
                           {"temperature_correction", Number(settings.temperature_correction)},
                           {"storm_warning", Bool(settings.storm_warning)},
                           {"storm_threshold", Number(settings.storm_threshold)}});
  // The units are the person's: in force here, and kept in their file.
  program.readings.units = settings.units;
  own_readings_.units = settings.units;
  StoreReadingSettings(program.ini, own_readings_);
  if (!program.ini.Save() && program.dialogs != nullptr)
    program.dialogs->Error("Error : Unable to save " + program.ini.Path() + ": " +
                           program.ini.LastError());
  if (TWmain* wmain = MainWindow()) wmain->ShowUnits();
}

#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/Reading_settings.h"
#include "config/Tbarometer_ini.h"
#include "config/Tsetup_ini.h"
#include "platform/ModulePort.h"
#include "publish/Mqtt_settings.h"
#include "sensor/Tsensor_wc.h"
#include "station/Tjson.h"
#include "station/Tviewer_link.h"

class QSocketNotifier;
class QTimer;

// The desktop program as the recording service's viewer: the samples the
// service sends are shown by the station's views, its record is read (never
// written), and what belongs to the station is asked of the service.
// What belongs to the person at the desk (units, window places, the small
// window, the chart) stays in their own files.
class Tservice_view : public QObject {
 public:
  // How long the start waits for the service's hello.
  static constexpr int kHelloWaitMs = 1500;
  // How often the link is polled besides its socket's notices (reconnects,
  // requests waiting to be written).
  static constexpr int kPollMs = 200;

  Tservice_view(std::unique_ptr<Tviewer_link> link, std::vector<ViewerEvent> early);
  ~Tservice_view() override;

  // Shows what the start found (the splash line, the caption) and the
  // events that came with the hello; the windows exist by now.
  void Start();
  // Reads what the service sent and shows it; the timer and the socket's
  // notifier call it, tests call it directly.
  void Poll();

  Tviewer_link& Link() { return *link_; }
  bool Refused() const { return link_->GetState() == Tviewer_link::State::kRefused; }
  // The service's port in words, and its settings as last announced.
  const std::string& Port() const { return port_; }
  const Tjson& Settings() const { return settings_; }
  // A station setting (1..12 of setup.ini) as the service has it.
  std::optional<double> StationSetting(uint8_t index) const;
  // Asks the service to take the station's settings that differ from its
  // own: index-addressed ones and the named ones (barometer.ini's). True
  // when a request went (or nothing differed).
  bool SendStationSettings(const std::vector<std::pair<uint8_t, double>>& indexed,
                           std::vector<std::pair<std::string, Tjson>> named = {});
  // The corrections and the storm warning of `settings` asked of the
  // service; the units are the viewer's own and kept in barometer.ini.
  void ApplyReadingSettings(const ReadingSettings& settings);
  // The station's settings as the person's own setup.ini held them at the
  // start: a settings file saved here keeps them, not the service's.
  const SettingValues& OwnSetup() const { return own_setup_; }
  // The settings in the viewer's own barometer.ini (its corrections stay as
  // they were there).
  const ReadingSettings& OwnReadings() const { return own_readings_; }

  // The port as the service has it; nothing when it measures on lines it
  // was given at its start (the simulated module), which no viewer changes.
  std::optional<PortChoice> ServicePort() const;
  // Asks the service to measure on another port.
  bool SendPort(const PortChoice& choice);
  // The MQTT settings as the service has them, without the password and
  // the CA file, which never leave it.
  TmqttSettings ServiceMqtt() const;
  // Asks the service to publish so; an empty password keeps the service's.
  bool SendMqtt(const TmqttSettings& mqtt);
  // The module's calibration as the service read it; nothing for a sensor
  // the kernel drives, or before the module was found.
  const std::optional<Tsensor_wc>& Calibration() const { return calibration_; }

  static Tjson Number(double value);
  static Tjson Bool(bool value);
  static Tjson Text(const std::string& value);

 private:
  void Handle(ViewerEvent& event);
  // The hello's or a settings event's port, settings and calibration.
  void TakeStation(const ViewerEvent& event);
  void TakeSettings(const Tjson& settings);
  // The service's settings as barometer.ini would hold them.
  Tbarometer_ini SettingsAsIni() const;
  void ShowState(const std::string& line);
  void Watch();

  std::unique_ptr<Tviewer_link> link_;
  std::vector<ViewerEvent> early_;
  QTimer* timer_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  int watched_fd_ = -1;
  std::string port_;
  std::string record_;
  std::string version_;
  Tjson settings_;
  std::optional<Tsensor_wc> calibration_;
  // A storm_raised event came: the sample that follows it raised the
  // warning (the notice is for a new warning only, not one found up).
  bool storm_raised_ = false;
  ReadingSettings own_readings_;
  SettingValues own_setup_{};
  bool started_ = false;
  // The status line's state, shown again when a menu's tip cleared it.
  QString state_line_;
  bool status_watched_ = false;
};

// Looks for the recording service at barometer.ini's `service_socket` (in
// the working folder; the default path otherwise) and waits a moment for its
// hello. When a service answered, or refused this user, the program is to be
// its viewer: the link is kept for CreateWindows and true returned; the
// module's port must then stay closed. Asked once; later calls tell the
// first answer.
bool FindRecordingService();
// The link FindRecordingService kept, with the events that came meanwhile
// (taken once).
std::unique_ptr<Tservice_view> TakeRecordingService();
// Forgets what FindRecordingService found (the program's end, tests).
void ForgetRecordingService();

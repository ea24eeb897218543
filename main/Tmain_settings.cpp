// The settings as the main window handles them: the station's, forwarded,
// the window's own (minimized, autosave, the small window's place), and the
// settings file read and written through its grammar in config/.

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "config/Safe_save.h"
#include "config/Tsetup_ini.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "main/Tservice_view.h"
#include "platform/Dialogs.h"
#include "windows/Tsmall.h"

namespace {

void ShowError(const std::string& text) {
  if (Program().dialogs) Program().dialogs->Error(text);
}

}  // namespace

void TWmain::SetParameter(uint8_t index, double value) {
  // A setting changed by the user: the settings file is the program's again.
  if (!loading_settings) settings_file_kept = false;
  switch (index) {
    case kAltitude:
      station.SetParameter(index, value);
      break;
    case kMinimized:
      minimized = value != 0;
      // At the start the window shows once its first values are in it.
      if (starting_)
        minimized_pending_ = true;
      else
        ApplyMinimized();
      break;
    case kSaveOnExit:
      save_on_exit = value != 0;
      ShowAutosaveCheck();
      break;
    case kSmallX:
      if (TWsmall* small = SmallWindow()) small->SetX(value);
      break;
    case kSmallY:
      if (TWsmall* small = SmallWindow()) small->SetY(value);
      break;
    default:
      station.SetParameter(index, value);
      break;
  }
}

double TWmain::GetParameter(uint8_t index) {
  // The station's settings of a service this program views are the
  // service's.
  if (Program().service != nullptr && index < kMinimized)
    if (const auto value = Program().service->StationSetting(index)) return *value;
  switch (index) {
    case kMinimized:
      return minimized ? 1.0 : 0.0;
    case kSaveOnExit:
      return save_on_exit ? 1.0 : 0.0;
    case kSmallX:
      return SmallWindow() ? SmallWindow()->GetX() : 0;
    case kSmallY:
      return SmallWindow() ? SmallWindow()->GetY() : 0;
    default:
      return station.GetParameter(index);
  }
}

bool TWmain::SetWeatherLimits(double sunny, double variable, double overcast) {
  return station.SetWeatherLimits(sunny, variable, overcast);
}

void TWmain::LoadSettings(const std::string& name) {
  SettingValues in_force;
  for (uint8_t index = 1; index <= kSettingCount; ++index) in_force[index] = GetParameter(index);
  const Tsetup_ini::Reading reading = Tsetup_ini::Read(name, in_force);
  if (!reading.opened) {
    // Something that is there but could not be read (a FIFO, a device, a
    // folder, a file this user may not read) is not saved over on exit.
    if (!reading.missing &&
        SameFile(name, save_file_name.empty() ? Tsetup_ini::kFileName : save_file_name))
      settings_file_kept = true;
    ShowError(reading.error);
    return;
  }
  if (Tservice_view* service = Program().service) {
    // The station's settings go to the recording service, which checks and
    // announces them (a refusal comes back as a box); the person's own
    // window settings are taken here.
    std::vector<std::pair<uint8_t, double>> station_settings;
    for (const Tsetup_ini::Setting& s : reading.apply) {
      if (s.key < kMinimized)
        station_settings.emplace_back(s.key, s.value);
      else
        SetParameter(s.key, s.value);
    }
    service->SendStationSettings(station_settings);
  } else {
    station.ApplySettings(reading, [this](uint8_t key, double value) { SetParameter(key, value); });
  }

  // One box at most, once the loading is over (and, at the start, once the
  // measurement runs).
  if (!reading.any_setting) {
    // Random bytes, another kind of file: what the autosave would write over
    // it is no settings the user chose from it.
    const bool kept =
        SameFile(name, save_file_name.empty() ? Tsetup_ini::kFileName : save_file_name);
    if (kept) settings_file_kept = true;
    const std::string text =
        "Error : " + name + " holds no settings. The settings in force stay as they are" +
        (kept ? ", and the file is not saved over on exit until settings are saved or changed."
              : ".");
    ShowLater([text] { ShowError(text); });
    return;
  }
  if (reading.applied) settings_file_kept = false;
  if (!reading.refused_keys.empty()) {
    const std::string text =
        "Error : Settings in " + name +
        " that the settings dialog would refuse were not taken: " + reading.refused_keys +
        ". They keep the values in force.";
    ShowLater([text] { ShowError(text); });
  }
}

void TWmain::SettingsApplied() {
  station.SettingsApplied();
}

void TWmain::SaveSettings(const std::string& name) {
  const std::string error = SaveSettingsFile(name);
  if (!error.empty()) ShowError(error);
}

std::string TWmain::SaveSettingsFile(const std::string& name) {
  const std::string error = "Error : Unable to open output file " + name + ": ";
  // Without a measurement nor the small window there is nothing to take the
  // settings and its place from.
  if (!station.Source() || !SmallWindow()) return error + "no measurement runs";
  SettingValues values;
  for (uint8_t index = 1; index <= kSettingCount; ++index) values[index] = GetParameter(index);
  // A viewer's file keeps the person's own station settings: the service's
  // are kept in its own folder.
  if (const Tservice_view* service = Program().service)
    for (uint8_t index = 1; index < kMinimized; ++index) values[index] = service->OwnSetup()[index];
  errno = 0;
  if (!WriteWhole(name, Tsetup_ini::Text(values)))
    return error + std::strerror(errno != 0 ? errno : EIO);
  settings_file_kept = false;
  return std::string();
}

#pragma once

#include <string>

#include "config/Reading_settings.h"
#include "config/Tbarometer_ini.h"

class Tsensor;
class Tstation;
class Tarchive;
class TWintro;
class TWmain;
class TWsmall;
class TWchart;
class TWabout;
class TWsettings;
class TWrange;
class TWdebug;
class TWbarograph;
class TWhelp;
class Tpublisher;
class Dialogs;
class Clock;
class Notifier;
class Tservice_view;

// The program-wide state of the entry: the one sensor object, the eight
// windows with their alive flags, the closing flag, and the platform services
// every window reaches (dialogs, clock). Every call from one window into
// another checks the target's pointer and, as a rule, its alive flag.
struct ProgramState {
  Tsensor* sensor = nullptr;
  // The measurement (station/Tstation.h) on the sensor; the windows are its
  // views.
  Tstation* station = nullptr;
  // The pressure record (barometer.db in the working folder), open while the
  // windows exist; it may have stopped recording after a failure.
  Tarchive* archive = nullptr;
  // Publishing to an MQTT broker (main/Publishing.h), while the windows
  // exist; it runs only when switched on in barometer.ini.
  Tpublisher* publisher = nullptr;
  // The recording service this program views, when one answered at the
  // start (main/Tservice_view.h); null: the program measures on the port.
  Tservice_view* service = nullptr;

  TWintro* Wintro = nullptr;
  TWmain* Wmain = nullptr;
  TWsmall* Wsmall = nullptr;
  TWchart* Wchart = nullptr;
  TWabout* Wabout = nullptr;
  TWsettings* Wsettings = nullptr;
  TWrange* Wrange = nullptr;
  TWdebug* Wdebug = nullptr;
  TWbarograph* Wbarograph = nullptr;
  TWhelp* Whelp = nullptr;

  bool Wintro_alive = false;
  bool Wmain_alive = false;
  bool Wsmall_alive = false;
  bool Wchart_alive = false;
  bool Wabout_alive = false;
  bool Wsettings_alive = false;
  bool Wrange_alive = false;
  bool Wdebug_alive = false;
  bool Wbarograph_alive = false;
  bool Whelp_alive = false;

  bool closing = false;
  // What the program ends with: 0, or 1 when a close asked for from outside
  // could not save the settings.
  int exit_status = 0;
  // How often the application was told to terminate (tests read it).
  int terminate_requests = 0;

  Dialogs* dialogs = nullptr;
  Clock* clock = nullptr;
  // Desktop notifications (the storm warning's); none: not sent.
  Notifier* notifier = nullptr;

  // barometer.ini in the working folder: the settings beyond setup.ini.
  // Read by BeginProgram; a feature that changes its keys saves the file.
  Tbarometer_ini ini;
  // The units, corrections and storm warning of barometer.ini, read when
  // the main window is made; changed by the Settings menu.
  ReadingSettings readings;

  // What the program found at the port, in plain words, added to the box
  // that says no module was found; empty when there is nothing to add (the
  // simulated module's port always opens).
  std::string port_finding;

  // Clears every alive flag (after the event loop, before the windows go).
  void ClearAliveFlags();
};

// The single instance.
ProgramState& Program();

// Quits the event loop; goes through here so tests can observe it.
void TerminateApplication();

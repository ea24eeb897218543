#pragma once

#include <string>

class Clock;
class Dialogs;
class ModuleLines;
class PortIo;

// The program's start-up and shut-down, shared by both executables and by
// the end-to-end tests. The stages are separate so that a test can run the
// very same code around its own driving of the timers.

// Clears the closing flag and the alive flags, sets the dialogs and the
// clock every window reaches, and creates the one sensor object on `port`.
void BeginProgram(PortIo& port, Clock& clock, Dialogs& dialogs);
// The same with the module on lines of any kind (see platform/ModuleLines.h).
void BeginProgram(ModuleLines& lines, Clock& clock, Dialogs& dialogs);

// Needs the application object: sets the title, opens the pressure record
// (barometer.db in the working folder), creates the eight windows in
// their fixed order (only the splash window visible), runs their init steps
// and starts module detection on the splash window.
void CreateWindows();

// After the event loop: clears the alive flags, destroys the sensor (its
// last port write drops the module's lines), the windows and then the
// pressure record (committing what is pending), and forgets the dialogs and
// the clock.
void EndProgram();

// The first exception that escaped an event handler. Keeping it ends the
// running event loop so that the entry can show it and shut down; later ones
// are dropped.
struct EscapedException {
  bool caught = false;
  std::string message;

  void Keep(const std::string& text);
};

// Shows an exception that escaped start-up or the event loop, once.
void ReportException(const std::string& message);

// The whole program: the stages above around the application object and
// its event loop. An exception that escapes is shown in an error box and the
// program shuts down normally. Returns 0.
int RunProgram(int& argc, char** argv, PortIo& port, Clock& clock, Dialogs& dialogs);
int RunProgram(int& argc, char** argv, ModuleLines& lines, Clock& clock, Dialogs& dialogs);

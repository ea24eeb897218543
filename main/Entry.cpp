#include "main/Entry.h"

#include <QApplication>
#include <QIcon>
#include <QThread>
#include <clocale>
#include <exception>
#include <initializer_list>
#include <memory>
#include <string>

#include "archive/Tarchive.h"
#include "assets/Assets.h"
#include "chart/Tchart.h"
#include "chart/Tchart_settings.h"
#include "components/DbusNotifier.h"
#include "main/Port_choice.h"
#include "main/Program.h"
#include "main/Publishing.h"
#include "main/Record_guard.h"
#include "main/Signal_close.h"
#include "main/Tmain.h"
#include "main/Tservice_view.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/PortIo.h"
#include "sensor/Tsensor.h"
#include "settings/Tsettings.h"
#include "station/Tstation.h"
#include "windows/Tabout.h"
#include "windows/Tbarograph.h"
#include "windows/Tdebug.h"
#include "windows/Thelp.h"
#include "windows/Tintro.h"
#include "windows/Tsmall.h"

namespace {

// An exception thrown by an event handler must not unwind through the
// toolkit's event dispatch. It is caught here instead and kept, so that the
// entry can show it and shut down.
class BarometerApplication : public QApplication {
 public:
  BarometerApplication(int& argc, char** argv) : QApplication(argc, argv) {}

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      escaped.Keep(e.what());
    } catch (...) {
      escaped.Keep("Unknown exception");
    }
    return false;
  }

  EscapedException escaped;
};

template <typename Window>
void DestroyWindow(Window*& pointer) {
  // The pointer goes first, so nothing can reach a half-destroyed window.
  Window* window = pointer;
  pointer = nullptr;
  delete window;
}

}  // namespace

namespace {

void BeginProgramState(Clock& clock, Dialogs& dialogs) {
  ProgramState& program = Program();
  program.closing = false;
  program.exit_status = 0;
  program.ClearAliveFlags();
  program.terminate_requests = 0;
  // Every window chooses its files through the guard, which refuses the
  // record's own files as a name to write.
  static std::unique_ptr<Record_guard> guard;
  guard = std::make_unique<Record_guard>(dialogs, [] { return Program().archive; });
  program.dialogs = guard.get();
  program.clock = &clock;
  program.ini.Load(Tbarometer_ini::kFileName);
  // The port chosen, for the port dialog; where the program does not open
  // ports itself (the simulated module), the module stays where it is.
  PortState& port = ProgramPort();
  if (!port.open) port.choice = ReadPortChoice(program.ini);
}

}  // namespace

namespace {

void BeginStation(Tsensor* sensor, Clock& clock) {
  ProgramState& program = Program();
  program.sensor = sensor;
  program.station = new Tstation(clock);
  program.station->UseSensor(sensor);
  // An IIO sensor chosen in the module's place.
  UseChosenSource();
}

}  // namespace

void BeginProgram(PortIo& port, Clock& clock, Dialogs& dialogs) {
  BeginProgramState(clock, dialogs);
  BeginStation(new Tsensor(port, clock), clock);
}

void BeginProgram(ModuleLines& lines, Clock& clock, Dialogs& dialogs) {
  BeginProgramState(clock, dialogs);
  BeginStation(new Tsensor(lines, clock), clock);
}

namespace {

// barometer.ini that exists but could not be read (its settings keep their
// defaults and the file is not saved over), or the keys of it that the
// windows and features refused as they read them: said once the start is
// under way, so that no box holds it up.
void ShowIniProblems() {
  ProgramState& program = Program();
  std::string text;
  if (!program.ini.LastError().empty())
    text = "Error : Unable to read " + program.ini.Path() + ": " + program.ini.LastError() +
           ". Its settings keep their defaults.";
  else if (!program.ini.Refusals().empty())
    text = "Error : Settings in " + program.ini.Path() +
           " were not taken: " + program.ini.RefusalsText() + ". They keep their defaults.";
  program.ini.ClearRefusals();
  if (text.empty()) return;
  auto show = [text] {
    if (Program().dialogs != nullptr) Program().dialogs->Error(text);
  };
  if (program.Wmain != nullptr && program.Wmain_alive)
    program.Wmain->ShowLater(show);
  else
    show();
}

}  // namespace

namespace {

void OpenRecordAndPublishing() {
  ProgramState& program = Program();
  // The record opens first, so that a damaged one is put aside and a new one
  // recording before anything else; its box, if any, waits for the event
  // loop after the first tick of the measurement (TWmain::ShowLater).
  program.archive = new Tarchive(*program.clock, program.dialogs);
  program.archive->Open(Tarchive::kFileName);
  if (program.station != nullptr) program.station->UseRecord(program.archive);
  // Connecting happens on the publisher's own thread; nothing waits here.
  StartPublishing();
}

}  // namespace

void CreateWindows() {
  QCoreApplication::setApplicationName("Barometer");
  // Quitting is decided by the program alone: a confirmed close request or
  // the splash window's close box. Hiding or closing any other window never
  // ends it by itself.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(AssetIcon("app_icon"));

  ProgramState& program = Program();

  // A recording service that answers makes this program its viewer: its
  // record is read, not written, and nothing is published from here.
  FindRecordingService();
  program.service = TakeRecordingService().release();
  if (program.service == nullptr) OpenRecordAndPublishing();

  program.Wintro = new TWintro;
  program.Wmain = new TWmain;
  program.Wsmall = new TWsmall;
  program.Wchart = new TWchart;
  program.Wabout = new TWabout;
  program.Wsettings = new TWsettings;
  program.Wrange = new TWrange;
  program.Wdebug = new TWdebug;
  program.Wbarograph = new TWbarograph;
  program.Whelp = new TWhelp;

  // Quitting and the help answer their keys in every window of the
  // program, the small one too while the main window is hidden.
  if (program.Wmain != nullptr) {
    for (QWidget* window : std::initializer_list<QWidget*>{
             program.Wsmall, program.Wchart, program.Wbarograph, program.Whelp, program.Wdebug})
      if (window != nullptr)
        window->addActions({program.Wmain->Exit1, program.Wmain->Helpcontents1});
  }

  // Init steps, in creation order; only the chart window's does work.
  if (program.Wchart != nullptr && program.Wchart_alive) program.Wchart->ResetToAutoscale();

  ShowPortName();
  ShowIniProblems();
  // The splash window is the one window visible from the start; detection
  // then runs on its timer.
  if (program.Wintro != nullptr && program.Wintro_alive) {
    program.Wintro->show();
    if (program.service == nullptr) program.Wintro->StartSearch();
  }
  if (program.service != nullptr) program.service->Start();
}

void EndProgram() {
  ProgramState& program = Program();
  program.ClearAliveFlags();
  // The service's viewer lets go of its socket first.
  delete program.service;
  program.service = nullptr;
  ForgetRecordingService();
  // "offline" to the broker first, waiting a moment at most.
  StopPublishing();

  if (program.station != nullptr) program.station->UseSensor(nullptr);
  if (program.sensor != nullptr) {
    delete program.sensor;
    program.sensor = nullptr;
  }
  // The port after the sensor, whose last drive it takes.
  ProgramPort().Clear();

  // Reverse order of creation; the chart window closes an open data log.
  DestroyWindow(program.Whelp);
  DestroyWindow(program.Wbarograph);
  DestroyWindow(program.Wdebug);
  DestroyWindow(program.Wrange);
  DestroyWindow(program.Wsettings);
  DestroyWindow(program.Wabout);
  DestroyWindow(program.Wchart);
  DestroyWindow(program.Wsmall);
  DestroyWindow(program.Wmain);
  DestroyWindow(program.Wintro);

  // The station, once no window is its view any more.
  delete program.station;
  program.station = nullptr;

  // Last: a window may read the record until it goes. Closing commits what
  // is pending.
  delete program.archive;
  program.archive = nullptr;

  program.dialogs = nullptr;
  program.clock = nullptr;
  program.port_finding.clear();
}

void EscapedException::Keep(const std::string& text) {
  // Only the first one is kept and ends the event loop. A later one (a timer
  // tick while the error box is up, say) must not end the box's own loop and
  // take the message away before it was read.
  if (caught) return;
  caught = true;
  message = text;
  // Before the event loop runs (a handler called while the windows are being
  // shown) there is no loop to end, and telling the application to exit then
  // would end the error box's loop at once instead.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

void ReportException(const std::string& message) {
  if (Program().dialogs != nullptr) Program().dialogs->Error(message);
}

namespace {
int RunProgramLoop(int& argc, char** argv);
}  // namespace

int RunProgram(int& argc, char** argv, PortIo& port, Clock& clock, Dialogs& dialogs) {
  CatchStopSignals();
  BeginProgram(port, clock, dialogs);
  return RunProgramLoop(argc, argv);
}

int RunProgram(int& argc, char** argv, ModuleLines& lines, Clock& clock, Dialogs& dialogs) {
  CatchStopSignals();
  BeginProgram(lines, clock, dialogs);
  return RunProgramLoop(argc, argv);
}

namespace {
int RunProgramLoop(int& argc, char** argv) {
  int status = 0;
  bool escaped = false;
  std::string message;
  {
    // The program takes nothing from its command line, so the application
    // does not see the toolkit's own options (-style, -reverse, ...) either;
    // it gets the program name only.
    static char fallback_name[] = "barometer";
    char* app_argv[] = {argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : fallback_name,
                        nullptr};
    int app_argc = 1;
    BarometerApplication app(app_argc, app_argv);
    // The application has taken the user's locale; every number the program
    // writes or reads uses a point whatever it is.
    std::setlocale(LC_NUMERIC, "C");
    // The storm warning's notifications go to the desktop, when it has a
    // notification service.
    DbusNotifier notifier;
    Program().notifier = &notifier;
    // From here on SIGTERM, SIGHUP, SIGINT and a logout close the program
    // as a confirmed close does.
    InstallSignalClose();
    try {
      CreateWindows();
      // An exception escaping a handler while the windows were being shown
      // has nothing to end yet: the loop is not run at all then; nor after
      // a request to stop that a box of the start already read.
      if (!app.escaped.caught && !Program().closing) QApplication::exec();
    } catch (const std::exception& e) {
      escaped = true;
      message = e.what();
    } catch (...) {
      escaped = true;
      message = "Unknown exception";
    }
    if (!escaped && app.escaped.caught) {
      escaped = true;
      message = app.escaped.message;
    }

    Program().ClearAliveFlags();
    // The box of an escaped exception still ends on a request from outside;
    // one that comes after it finds the close under way and is not read.
    if (escaped) ReportException(message);
    RemoveSignalClose();
    status = Program().exit_status;
    EndProgram();
    Program().notifier = nullptr;
  }
  return status;
}
}  // namespace

#include "main/Entry.h"

#include <QApplication>
#include <QIcon>
#include <clocale>
#include <exception>
#include <string>

#include "assets/Assets.h"
#include "chart/Tchart.h"
#include "chart/Tchart_settings.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/PortIo.h"
#include "sensor/Tintro.h"
#include "sensor/Tsensor.h"
#include "settings/Tsettings.h"
#include "windows/Tabout.h"
#include "windows/Tdebug.h"
#include "windows/Tsmall.h"

namespace {

// An exception thrown by an event handler must not unwind through the
// toolkit's event dispatch. It is caught here instead: the first one is kept
// and the event loop is ended, so that the entry can show it and shut down.
class BarometerApplication : public QApplication {
 public:
  BarometerApplication(int& argc, char** argv) : QApplication(argc, argv) {}

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      Escaped(e.what());
    } catch (...) {
      Escaped("Unknown exception");
    }
    return false;
  }

  bool has_escaped = false;
  std::string escaped_message;

 private:
  void Escaped(const std::string& message) {
    if (!has_escaped) {
      has_escaped = true;
      escaped_message = message;
    }
    QCoreApplication::exit(0);
  }
};

template <typename Window>
void DestroyWindow(Window*& pointer) {
  // The pointer goes first, so nothing can reach a half-destroyed window.
  Window* window = pointer;
  pointer = nullptr;
  delete window;
}

}  // namespace

void BeginProgram(PortIo& port, Clock& clock, Dialogs& dialogs) {
  ProgramState& program = Program();
  program.closing = false;
  program.ClearAliveFlags();
  program.terminate_requests = 0;
  program.dialogs = &dialogs;
  program.clock = &clock;
  program.sensor = new Tsensor(port, clock);
}

void CreateWindows() {
  QCoreApplication::setApplicationName("vostrel");
  // Quitting is decided by the program alone: a confirmed close request or
  // the splash window's close box. Hiding or closing any other window never
  // ends it by itself.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(AssetIcon("app_icon"));

  ProgramState& program = Program();
  program.Wintro = new TWintro;
  program.Wmain = new TWmain;
  program.Wsmall = new TWsmall;
  program.Wchart = new TWchart;
  program.Wabout = new TWabout;
  program.Wsettings = new TWsettings;
  program.Wrange = new TWrange;
  program.Wdebug = new TWdebug;

  // Init steps, in creation order; only the chart window's does work.
  if (program.Wchart != nullptr && program.Wchart_alive) program.Wchart->ResetToAutoscale();

  // The splash window is the one window visible from the start; detection
  // then runs on its timer.
  if (program.Wintro != nullptr && program.Wintro_alive) {
    program.Wintro->show();
    program.Wintro->StartSearch();
  }
}

void EndProgram() {
  ProgramState& program = Program();
  program.ClearAliveFlags();

  if (program.sensor != nullptr) {
    delete program.sensor;
    program.sensor = nullptr;
  }

  // Reverse order of creation; the chart window closes an open data log.
  DestroyWindow(program.Wdebug);
  DestroyWindow(program.Wrange);
  DestroyWindow(program.Wsettings);
  DestroyWindow(program.Wabout);
  DestroyWindow(program.Wchart);
  DestroyWindow(program.Wsmall);
  DestroyWindow(program.Wmain);
  DestroyWindow(program.Wintro);

  program.dialogs = nullptr;
  program.clock = nullptr;
}

void ReportException(const std::string& message) {
  if (Program().dialogs != nullptr) Program().dialogs->Error(message);
}

int RunProgram(int& argc, char** argv, PortIo& port, Clock& clock, Dialogs& dialogs) {
  BeginProgram(port, clock, dialogs);

  bool escaped = false;
  std::string message;
  {
    BarometerApplication app(argc, argv);
    // The application has taken the user's locale; every number the program
    // writes or reads uses a point whatever it is.
    std::setlocale(LC_NUMERIC, "C");
    try {
      CreateWindows();
      QApplication::exec();
    } catch (const std::exception& e) {
      escaped = true;
      message = e.what();
    } catch (...) {
      escaped = true;
      message = "Unknown exception";
    }
    if (!escaped && app.has_escaped) {
      escaped = true;
      message = app.escaped_message;
    }

    Program().ClearAliveFlags();
    if (escaped) ReportException(message);
    EndProgram();
  }
  return 0;
}

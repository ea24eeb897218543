#include "main/Program.h"

#include <QCoreApplication>

ProgramState& Program() {
  static ProgramState state;
  return state;
}

void ProgramState::ClearAliveFlags() {
  Wintro_alive = Wmain_alive = Wsmall_alive = Wchart_alive = false;
  Wabout_alive = Wsettings_alive = Wrange_alive = Wdebug_alive = Wbarograph_alive = false;
  Whelp_alive = false;
}

void TerminateApplication() {
  ++Program().terminate_requests;
  // exit() ends the event loop directly. quit() would first ask every window
  // to close, and the main and small windows answer that with the quit
  // confirmation again.
  QCoreApplication::exit(0);
}

#include "main/Program.h"

#include <QCoreApplication>

ProgramState& Program() {
  static ProgramState state;
  return state;
}

void ProgramState::ClearAliveFlags() {
  Wintro_alive = Wmain_alive = Wsmall_alive = Wchart_alive = false;
  Wabout_alive = Wsettings_alive = Wrange_alive = Wdebug_alive = false;
}

void TerminateApplication() {
  ++Program().terminate_requests;
  QCoreApplication::quit();
}

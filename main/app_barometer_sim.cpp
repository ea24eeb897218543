// The barometer on the simulated module, wired to a virtual LPT1.

#include "main/Entry.h"
#include "platform/Clock.h"
#include "platform/QtDialogs.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"

int main(int argc, char** argv) {
  SystemClock clock;
  // One fixed seed: the weather is a function of calendar time, so a restart
  // continues the same slow weather.
  SimulatedModule module(clock, 1);
  SimulatedModulePort port(module);
  QtDialogs dialogs;
  return RunProgram(argc, argv, port, clock, dialogs);
}

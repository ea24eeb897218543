// The barometer on the simulated module, wired to a virtual LPT1.
#include <cstdint>
#include <ctime>

#include "main/Entry.h"
#include "platform/Clock.h"
#include "platform/QtDialogs.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"

int main(int argc, char** argv) {
  SystemClock clock;
  // A new stretch of weather at every start.
  SimulatedModule module(clock, static_cast<uint32_t>(std::time(nullptr)));
  SimulatedModulePort port(module);
  QtDialogs dialogs;
  return RunProgram(argc, argv, port, clock, dialogs);
}

// The barometer on the simulated module, wired straight to the lines.

#include "components/QtDialogs.h"
#include "main/Entry.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModuleLines.h"
#include "publish/Mqtt_settings.h"

int main(int argc, char** argv) {
  // Its MQTT client id tells it apart from the real program's.
  SetProgramName("barometer-sim");
  SystemClock clock;
  // One fixed seed: the weather is a function of calendar time, so a restart
  // continues the same slow weather.
  SimulatedModule module(clock, 1);
  SimulatedModuleLines lines(module);
  QtDialogs dialogs;
  return RunProgram(argc, argv, lines, clock, dialogs);
}

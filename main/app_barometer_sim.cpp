// The barometer on the simulated module, wired straight to the lines.

#include "main/Entry.h"
#include "platform/Clock.h"
#include "publish/Mqtt_settings.h"
#include "components/QtDialogs.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModuleLines.h"

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

// The barometer on the module's port as chosen in barometer.ini: the first
// parallel port unless another is chosen (ppdev on /dev/parport0, else direct
// register access, else no port: no module will be found), a gpiochip's lines
// or a USB adapter's bits. When the recording service runs, the program is
// its viewer instead and leaves the port, which the service holds, alone.
#include "components/QtDialogs.h"
#include "main/Entry.h"
#include "main/Port_choice.h"
#include "main/Tservice_view.h"
#include "platform/Clock.h"
#include "platform/ModulePort.h"

int main(int argc, char** argv) {
  static UnconnectedLines service_holds_it("the recording service holds the module's port");
  // Chosen before the program starts: the sensor is made on it.
  ModuleLines& lines = FindRecordingService() ? service_holds_it : OpenChosenPort();
  SystemClock clock;
  QtDialogs dialogs;
  return RunProgram(argc, argv, lines, clock, dialogs);
}

// The barometer on the module's port as chosen in barometer.ini: the first
// parallel port unless another is chosen (ppdev on /dev/parport0, else direct
// register access, else no port: no module will be found), a gpiochip's lines
// or a USB adapter's bits.
#include "main/Entry.h"
#include "main/Port_choice.h"
#include "platform/Clock.h"
#include "components/QtDialogs.h"

int main(int argc, char** argv) {
  // Chosen before the program starts: the sensor is made on it.
  ModuleLines& lines = OpenChosenPort();
  SystemClock clock;
  QtDialogs dialogs;
  return RunProgram(argc, argv, lines, clock, dialogs);
}

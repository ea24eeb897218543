// The barometer on the real parallel port: ppdev on /dev/parport0, else
// direct register access, else a floating port (no module will be found).
#include <memory>
#include <string>

#include "main/Entry.h"
#include "main/Program.h"
#include "platform/Clock.h"
#include "platform/HardwarePort.h"
#include "platform/QtDialogs.h"

int main(int argc, char** argv) {
  std::string description;
  std::unique_ptr<PortIo> port = OpenHardwarePort(&description, &Program().port_finding);
  SystemClock clock;
  QtDialogs dialogs;
  return RunProgram(argc, argv, *port, clock, dialogs);
}

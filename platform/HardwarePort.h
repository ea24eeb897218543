#pragma once

#include <memory>
#include <string>

#include "platform/PortIo.h"

// The real program's port: the ppdev device /dev/parport0 when it can be
// opened and claimed, else direct register access when the process may have
// it, else a floating port (no module will be found). `description`, when
// given, says which one was taken and why the others were not.
std::unique_ptr<PortIo> OpenHardwarePort(std::string* description = nullptr);

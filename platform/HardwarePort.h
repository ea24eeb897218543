#pragma once

#include <memory>
#include <string>

#include "platform/PortIo.h"

// The real program's port: the ppdev device /dev/parport0 when it can be
// opened and claimed, else direct register access when the process may have
// it, else a floating port (no module will be found). `description`, when
// given, says which one was taken and why the others were not; `finding`,
// when given, says in plain words what was found at the port, for the user
// who is told that no module answered.
std::unique_ptr<PortIo> OpenHardwarePort(std::string* description = nullptr,
                                         std::string* finding = nullptr);

// What a user is told when the device could not be opened or claimed
// (errno of the failed step), with what to do about it.
std::string PpdevFinding(const std::string& device, int error_number);

// What a user is told when a port was opened but no module replied.
std::string OpenPortFinding();

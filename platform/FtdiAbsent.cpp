// Stands in for FtdiLibrary.cpp when the program is built without the
// adapter library: no adapters can be opened or listed.
#include "platform/FtdiLines.h"

std::unique_ptr<FtdiCalls> NewFtdiCalls() {
  return nullptr;
}

bool FtdiAvailable() {
  return false;
}

std::vector<FtdiDeviceInfo> ListFtdiDevices() {
  return {};
}

void UseFtdiLibraryFile(const std::string&) {}

bool FtdiLibraryOpened() {
  return false;
}

#include "publish/Mosquitto_library.h"

#include <dlfcn.h>

#include <mutex>

namespace {

std::mutex opening;
std::string file_name = Mosquitto_library::kDefaultFile;
// Set once, under the mutex, and never changed afterwards.
const Mosquitto_library* opened = nullptr;

std::string LoaderMessage(const std::string& fallback) {
  const char* message = dlerror();
  return message != nullptr ? std::string(message) : fallback;
}

// One function of the library; after the first one missing, none is looked
// up and `error` names that one.
void* Resolve(void* handle, const char* name, bool& complete, std::string& error) {
  if (!complete) return nullptr;
  void* function = dlsym(handle, name);
  if (function == nullptr) {
    error = LoaderMessage(file_name + ": undefined symbol: " + name);
    complete = false;
  }
  return function;
}

}  // namespace

const Mosquitto_library* Mosquitto_library::Get(std::string& error) {
  std::lock_guard<std::mutex> lock(opening);
  if (opened != nullptr) return opened;
  dlerror();  // clears an earlier message
  void* handle = dlopen(file_name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    error = LoaderMessage(file_name + ": cannot be opened");
    return nullptr;
  }
  static Mosquitto_library table;
  Mosquitto_library found;
  bool complete = true;
#define BAROMETER_MOSQUITTO_RESOLVE(name) \
  found.name = reinterpret_cast<decltype(found.name)>(Resolve(handle, #name, complete, error));
  BAROMETER_MOSQUITTO_FUNCTIONS(BAROMETER_MOSQUITTO_RESOLVE)
#undef BAROMETER_MOSQUITTO_RESOLVE
  if (!complete) {
    dlclose(handle);
    return nullptr;
  }
  // The handle stays open for the rest of the process: a network thread
  // left to end by itself may still be inside the library.
  found.mosquitto_lib_init();
  table = found;
  opened = &table;
  return opened;
}

void Mosquitto_library::UseFile(const std::string& file) {
  std::lock_guard<std::mutex> lock(opening);
  file_name = file;
}

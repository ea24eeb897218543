#include "publish/Mosquitto_library.h"

#include <mutex>

#include "platform/Shared_library.h"

namespace {

std::mutex opening;
std::string file_name = Mosquitto_library::kDefaultFile;
// Set once, under the mutex, and never changed afterwards.
const Mosquitto_library* opened = nullptr;

}  // namespace

const Mosquitto_library* Mosquitto_library::Get(std::string& error) {
  std::lock_guard<std::mutex> lock(opening);
  if (opened != nullptr) return opened;
  static const char* const kNames[] = {
#define BAROMETER_MOSQUITTO_NAME(name) #name,
      BAROMETER_MOSQUITTO_FUNCTIONS(BAROMETER_MOSQUITTO_NAME)
#undef BAROMETER_MOSQUITTO_NAME
  };
  constexpr int kCount = static_cast<int>(sizeof kNames / sizeof kNames[0]);
  void* functions[kCount] = {};
  if (OpenSharedLibrary(file_name, kNames, kCount, functions, error) == nullptr) return nullptr;
  static Mosquitto_library table;
  int i = 0;
#define BAROMETER_MOSQUITTO_TAKE(name) \
  table.name = reinterpret_cast<decltype(table.name)>(functions[i++]);
  BAROMETER_MOSQUITTO_FUNCTIONS(BAROMETER_MOSQUITTO_TAKE)
#undef BAROMETER_MOSQUITTO_TAKE
  table.mosquitto_lib_init();
  opened = &table;
  return opened;
}

void Mosquitto_library::UseFile(const std::string& file) {
  std::lock_guard<std::mutex> lock(opening);
  file_name = file;
}

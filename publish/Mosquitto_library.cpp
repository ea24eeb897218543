#include "publish/Mosquitto_library.h"

#include "platform/Shared_library.h"

namespace {

// Filled once, when the library opens, and never changed afterwards.
Mosquitto_library table;

Tshared_library& Library() {
  static Tshared_library library(Mosquitto_library::kDefaultFile,
                                 {
#define BAROMETER_MOSQUITTO_NAME(name) #name,
                                     BAROMETER_MOSQUITTO_FUNCTIONS(BAROMETER_MOSQUITTO_NAME)
#undef BAROMETER_MOSQUITTO_NAME
                                 },
                                 [](void* const* functions) {
                                   int i = 0;
#define BAROMETER_MOSQUITTO_TAKE(name) \
  table.name = reinterpret_cast<decltype(table.name)>(functions[i++]);
                                   BAROMETER_MOSQUITTO_FUNCTIONS(BAROMETER_MOSQUITTO_TAKE)
#undef BAROMETER_MOSQUITTO_TAKE
                                   table.mosquitto_lib_init();
                                 });
  return library;
}

}  // namespace

const Mosquitto_library* Mosquitto_library::Get(std::string& error) {
  return Library().Open(error) ? &table : nullptr;
}

void Mosquitto_library::UseFile(const std::string& file) {
  Library().UseFile(file);
}

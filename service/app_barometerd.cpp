// barometerd: the station as a service, with no window system. It measures
// on whole seconds of the clock, records, warns and publishes, tells the
// service manager how it stands, and logs each change of state.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModuleLines.h"
#include "publish/Mqtt_settings.h"
#include "service/Tcadence.h"
#include "service/Tsd_notify.h"
#include "service/Tservice.h"
#include "service/Tservice_log.h"
#include "service/Tservice_loop.h"
#include "service/Tservice_options.h"
#include "service/Tviewer_server.h"

namespace {

// The simulated module's lines with two switches for trying the service's
// faults from outside, honoured only with --simulated:
//   BAROMETERD_TEST_UNPLUG=FILE    the module is unplugged while FILE exists;
//   BAROMETERD_TEST_HANG_AFTER=N   after N ticks a read of the module's
//                                  line never comes back (a port call that
//                                  hangs).
class Test_switched_lines : public SimulatedModuleLines {
 public:
  explicit Test_switched_lines(SimulatedModule& module) : SimulatedModuleLines(module) {}
  bool Sample() override {
    // Nothing ends this but SIGKILL: SIGTERM waits in the loop's queue.
    while (hanging) ::pause();
    return SimulatedModuleLines::Sample();
  }
  bool hanging = false;
};

long EnvNumber(const char* name, long fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return *end == '\0' ? value : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  Tservice_options options;
  const int parsed = options.Parse(argc, argv);
  if (parsed != Tservice_options::kRun) {
    std::fputs(options.Message().c_str(), parsed == 0 ? stdout : stderr);
    return parsed;
  }
  // Its MQTT client id tells it apart from the desktop programs'.
  SetProgramName("barometerd");

  SystemClock clock;
  Tservice_log log;
  Tsd_notify notify;
  Tcadence cadence(clock, 1000);
  Tservice_loop loop(clock, cadence, &notify, &log);
  // Before any thread starts (the publisher's, the record's): they inherit
  // the blocked signals, which then reach the loop alone.
  std::string error;
  if (!loop.Open(&error)) {
    log.Error(error);
    return 1;
  }

  std::unique_ptr<SimulatedModule> module;
  std::unique_ptr<Test_switched_lines> lines;
  std::string unplug_file;
  long hang_after = -1;
  if (options.Simulated()) {
    // One fixed seed, as barometer-sim: the weather is a function of
    // calendar time, so a restart continues the same slow weather.
    module = std::make_unique<SimulatedModule>(clock, 1);
    lines = std::make_unique<Test_switched_lines>(*module);
    if (const char* file = std::getenv("BAROMETERD_TEST_UNPLUG")) unplug_file = file;
    hang_after = EnvNumber("BAROMETERD_TEST_HANG_AFTER", -1);
  }

  Tservice service(clock, log, &notify, options.Folder(), lines.get(),
                   options.Simulated() ? "the simulated module" : "");
  long ticks = 0;
  if (!unplug_file.empty() || hang_after >= 0) {
    service.before_tick = [&] {
      if (!unplug_file.empty()) {
        struct stat st {};
        module->SetUnplugged(::stat(unplug_file.c_str(), &st) == 0);
      }
      if (hang_after >= 0 && ticks++ >= hang_after) lines->hanging = true;
    };
  }
  service.Start();
  // The viewers' socket: without it the service measures on all the same.
  Tviewer_server viewers(service, loop, log, clock);
  viewers.Open(Tviewer_server::SocketPath(options.Folder()));
  loop.on_tick = [&service] { service.Tick(); };
  loop.on_reload = [&service, &viewers] {
    service.Reload();
    viewers.AnnounceSettingsIfChanged();
  };
  const int ending = loop.Run();
  viewers.Stopping();
  service.Stop();
  if (ending == 0) {
    log.Error("The service's loop ended: it cannot wait for its ticks");
    return 1;
  }
  return 0;
}

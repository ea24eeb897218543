// The viewer's latency: from a sample line written by a stand-in service to
// the main window's labels holding its values, through the program's own
// entry, event loop and socket notifier. Prints the median and the 99th
// percentile.
//
//   viewer-latency [samples] [interval_ms]      (600 samples, 100 ms apart)

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "fakes/ScriptedDialogs.h"
#include "main/Entry.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "station/Tstation.h"
#include "tests/windows/support_fake_service.h"

namespace {

using Steady = std::chrono::steady_clock;

std::mutex mutex;
std::map<int, Steady::time_point> sent;
std::vector<double> latencies_ms;

// After the main window in the fan-out: its labels hold the sample by now.
struct Stopwatch : TstationSink {
  void OnSample(const Sample& sample) override {
    const auto now = Steady::now();
    if (!sample.d1) return;
    std::lock_guard<std::mutex> lock(mutex);
    const auto at = sent.find(*sample.d1);
    if (at == sent.end()) return;
    if (Program().Wmain->lb_d1->text().toInt() != *sample.d1) return;
    latencies_ms.push_back(std::chrono::duration<double, std::milli>(now - at->second).count());
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int samples = argc > 1 ? std::atoi(argv[1]) : 600;
  const int interval_ms = argc > 2 ? std::atoi(argv[2]) : 100;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  QTemporaryDir folder;
  QDir::setCurrent(folder.path());
  const std::string socket = folder.filePath("barometer.sock").toStdString();
  std::ofstream("barometer.ini") << "service_socket\t" << socket << "\n";

  FakeService service(socket);
  service.Start();
  SystemClock clock;
  SimulatedModule module(clock, 1);
  SimulatedModulePort port(module);
  ScriptedDialogs dialogs;
  BeginProgram(port, clock, dialogs);
  CreateWindows();
  if (Program().service == nullptr) {
    std::fprintf(stderr, "the program did not become the viewer\n");
    return 1;
  }
  Stopwatch stopwatch;
  Program().station->AddSink(&stopwatch, SinkOrder::kView);

  std::thread writer([&] {
    while (service.Clients() < 1) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int i = 0; i < samples; ++i) {
      const int d1 = 10000 + i;
      const std::string line =
          SampleLine(std::time(nullptr), 990 + i % 7 * 0.1, 1015, 20, 230, d1, 3000);
      {
        std::lock_guard<std::mutex> lock(mutex);
        sent[d1] = Steady::now();
      }
      service.Send(line);
      std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
    }
    QMetaObject::invokeMethod(
        &app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
  });
  QApplication::exec();
  writer.join();
  Program().station->RemoveSink(&stopwatch);
  EndProgram();
  service.Stop();

  std::sort(latencies_ms.begin(), latencies_ms.end());
  if (latencies_ms.empty()) {
    std::fprintf(stderr, "no sample was shown\n");
    return 1;
  }
  auto at = [](double q) {
    return latencies_ms[std::min(
        latencies_ms.size() - 1,
        static_cast<size_t>(q * static_cast<double>(latencies_ms.size())))];
  };
  std::printf("samples shown %zu of %d, %d ms apart\n", latencies_ms.size(), samples, interval_ms);
  std::printf("latency line written -> label: median %.3f ms, p99 %.3f ms, max %.3f ms\n", at(0.5),
              at(0.99), latencies_ms.back());
  return 0;
}

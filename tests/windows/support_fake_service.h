#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A stand-in for the recording service on its own thread: listens on a
// Unix socket, greets every viewer with `hello` (or refuses it), sends the
// lines the test gives to every viewer, and keeps the lines viewers send.
class FakeService {
 public:
  explicit FakeService(std::string path);
  ~FakeService();

  // Listens (again); with `refuse`, each viewer gets a refusal and is closed.
  void Start(bool refuse = false);
  // Closes the viewers and the socket, and removes its file.
  void Stop();
  // One line (its "\n" added) to every viewer connected.
  void Send(const std::string& line);
  // The lines viewers sent so far.
  std::vector<std::string> Received();
  int Clients() const { return clients_.load(); }

  std::string hello;

 private:
  void Run(int listener, bool refuse);

  std::string path_;
  std::thread thread_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  std::atomic<int> clients_{0};
  std::mutex mutex_;
  std::vector<std::string> outgoing_;
  std::vector<std::string> received_;
};

// A hello line with the default settings (those of the shipped setup.ini)
// for a record at `record` and a port named `port`.
std::string HelloLine(const std::string& record, const std::string& port);
// A good sample line at calendar second `time`.
std::string SampleLine(long time, double pressure, double sea_level, double temperature,
                       double altitude, int d1, int d2, const std::string& weather = "Sunny");

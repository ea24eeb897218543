#include "support_fake_service.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "publish/Mqtt_messages.h"

FakeService::FakeService(std::string path) : path_(std::move(path)) {
  hello = HelloLine("/nonexistent/barometer.db", "LPT1 (simulated)");
}

FakeService::~FakeService() {
  Stop();
}

void FakeService::Start(bool refuse) {
  Stop();
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path_.c_str());
  ::unlink(path_.c_str());
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 8) != 0) {
    std::perror("fake service");
    ::close(listener);
    return;
  }
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
  stop_ = false;
  thread_ = std::thread([this, listener, refuse] { Run(listener, refuse); });
}

void FakeService::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  if (wake_[1] >= 0) (void)!::write(wake_[1], "x", 1);
  thread_.join();
  ::close(wake_[0]);
  ::close(wake_[1]);
  wake_[0] = wake_[1] = -1;
  ::unlink(path_.c_str());
}

void FakeService::Send(const std::string& line) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outgoing_.push_back(line + "\n");
  }
  if (wake_[1] >= 0) (void)!::write(wake_[1], "x", 1);
}

std::vector<std::string> FakeService::Received() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

void FakeService::Run(int listener, bool refuse) {
  struct Client {
    int fd;
    std::string in;
  };
  std::vector<Client> clients;
  auto write_all = [](int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  };
  while (!stop_) {
    std::vector<pollfd> fds{{listener, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    for (const Client& c : clients) fds.push_back({c.fd, POLLIN, 0});
    ::poll(fds.data(), fds.size(), 100);
    if (fds[1].revents & POLLIN) {
      char drain[64];
      while (::read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
    if (fds[0].revents & POLLIN) {
      const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        if (refuse) {
          write_all(fd, "{\"event\":\"refused\",\"reason\":\"not in group barometer\"}\n");
          ::close(fd);
        } else {
          write_all(fd, hello + "\n");
          clients.push_back({fd, ""});
        }
      }
    }
    for (size_t i = 0; i < clients.size();) {
      if (fds.size() > i + 2 && (fds[i + 2].revents & (POLLIN | POLLHUP))) {
        char buffer[4096];
        const ssize_t n = ::recv(clients[i].fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0) {
          ::close(clients[i].fd);
          clients.erase(clients.begin() + static_cast<long>(i));
          fds.erase(fds.begin() + static_cast<long>(i) + 2);
          continue;
        }
        clients[i].in.append(buffer, static_cast<size_t>(n));
        size_t end;
        while ((end = clients[i].in.find('\n')) != std::string::npos) {
          std::lock_guard<std::mutex> lock(mutex_);
          received_.push_back(clients[i].in.substr(0, end));
          clients[i].in.erase(0, end + 1);
        }
      }
      ++i;
    }
    std::vector<std::string> out;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      out.swap(outgoing_);
    }
    for (const std::string& line : out)
      for (const Client& c : clients) write_all(c.fd, line);
    clients_ = static_cast<int>(clients.size());
  }
  for (const Client& c : clients) ::close(c.fd);
  clients_ = 0;
  ::close(listener);
}

std::string HelloLine(const std::string& record, const std::string& port) {
  return "{\"event\":\"hello\",\"version\":\"2.2\",\"record\":" + JsonString(record) +
         ",\"port\":" + JsonString(port) +
         ",\"settings\":{\"n\":1,\"ts\":1,\"altitude\":250.0,\"sunny_limit\":1016.0,"
         "\"variable_limit\":1009.0,\"overcast_limit\":1002.0,\"hysteresis\":0.5,"
         "\"quick_down_rate\":-0.9,\"slow_down_rate\":-0.23,\"quick_up_rate\":0.9,"
         "\"slow_up_rate\":0.23,\"pressure_correction\":0.0,\"temperature_correction\":0.0,"
         "\"storm_warning\":true,\"storm_threshold\":4.0,\"mqtt_enabled\":false,"
         "\"mqtt_host\":\"\",\"mqtt_port\":1883}}";
}

std::string SampleLine(long time, double pressure, double sea_level, double temperature,
                       double altitude, int d1, int d2, const std::string& weather) {
  char text[512];
  std::snprintf(text, sizeof text,
                "{\"event\":\"sample\",\"time\":%s,\"pressure\":%.2f,\"sea_level_pressure\":%.2f,"
                "\"temperature\":%.2f,\"altitude\":%.1f,\"tendency_3h\":null,\"tendency_reason\":"
                "\"less than 3 hours of record\",\"tendency_code\":null,\"weather\":%s,"
                "\"trend\":\"\",\"storm_warning\":false,\"good\":true,\"d1\":%d,\"d2\":%d,"
                "\"reason\":\"\"}",
                JsonString(IsoLocalTime(static_cast<std::time_t>(time))).c_str(), pressure,
                sea_level, temperature, altitude, JsonString(weather).c_str(), d1, d2);
  return text;
}

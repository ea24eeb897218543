#include "support_listener.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

NotifyListener::NotifyListener() {
  char cwd[256];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return;
  path_ = std::string(cwd) + "/notify." + std::to_string(::getpid());
  sockaddr_un address{};
  if (path_.size() >= sizeof address.sun_path) return;
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path_.c_str());
  ::unlink(path_.c_str());
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd_ < 0) return;
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  ::setenv("NOTIFY_SOCKET", path_.c_str(), 1);
}

NotifyListener::~NotifyListener() {
  ::unsetenv("NOTIFY_SOCKET");
  if (fd_ >= 0) ::close(fd_);
  if (!path_.empty()) ::unlink(path_.c_str());
}

std::vector<std::string> NotifyListener::Take() {
  std::vector<std::string> got;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0) break;
    got.emplace_back(buffer, static_cast<size_t>(n));
  }
  return got;
}

std::string NotifyListener::Wait(int timeout_ms) {
  pollfd p{fd_, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return {};
  char buffer[4096];
  const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
  return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) {
    had_ = true;
    old_ = old;
  }
  if (value != nullptr)
    ::setenv(name, value, 1);
  else
    ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (had_)
    ::setenv(name_.c_str(), old_.c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

#include "publish/Mqtt_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

namespace {

std::string& ProgramNameSlot() {
  static std::string name = "barometer";
  return name;
}

// The folder as the kernel resolves it; the path as given when it cannot be
// resolved (a folder gone since), so the id is still the same for the same
// text.
std::string RealPath(const std::string& folder) {
  char* real = realpath(folder.c_str(), nullptr);
  if (real == nullptr) return folder;
  std::string result = real;
  free(real);
  return result;
}

// 64-bit FNV-1a: short, fixed across builds and machines.
uint64_t Fnv1a(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

void SetProgramName(const std::string& name) {
  ProgramNameSlot() = name.empty() ? "barometer" : name;
}

const std::string& ProgramName() {
  return ProgramNameSlot();
}

std::string DefaultClientId(const std::string& program, const std::string& host,
                            const std::string& folder) {
  const uint64_t hash = Fnv1a(host + '\n' + RealPath(folder));
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08x",
                static_cast<unsigned>((hash >> 32) ^ (hash & 0xffffffffu)));
  return program + "-" + digits;
}

std::string DefaultClientId() {
  return DefaultClientId(ProgramName(), HostName(), ".");
}

std::string DefaultBaseTopic() {
  return "barometer/" + HostName();
}

std::optional<TmqttProblem> CheckMqttSettings(const TmqttSettings& s) {
  if (s.enabled && s.host.empty())
    return TmqttProblem{"Host", "Host: enter the name or address of the broker."};
  if (s.host.find_first_of(" \t") != std::string::npos)
    return TmqttProblem{"Host", "Host: a host name holds no blanks."};
  if (s.port < 1 || s.port > 65535)
    return TmqttProblem{"Port", "Port: enter a number from 1 to 65535."};
  if (s.tls && !s.ca_file.empty()) {
    struct stat info {};
    if (stat(s.ca_file.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
      return TmqttProblem{"CA file", "CA file: " + s.ca_file + " does not exist."};
  }
  if (s.base_topic.empty())
    return TmqttProblem{"Base topic",
                        "Base topic: enter a topic, such as " + DefaultBaseTopic() + "."};
  if (s.base_topic.find_first_of("+#") != std::string::npos)
    return TmqttProblem{"Base topic",
                        "Base topic: + and # are wildcards and cannot be published to."};
  if (s.base_topic.find('\0') != std::string::npos || s.base_topic.front() == '/' ||
      s.base_topic.back() == '/')
    return TmqttProblem{"Base topic", "Base topic: it may not begin or end with /."};
  if (s.client_id.size() > 65535) return TmqttProblem{"Client id", "Client id: it is too long."};
  if (s.interval < 0 || s.interval > TmqttSettings::kLongestInterval)
    return TmqttProblem{"Interval", "Interval: enter 0 (every sample) to 86400 seconds."};
  if (s.user.empty() && !s.password.empty())
    return TmqttProblem{"User", "User: a password is sent only with a user name."};
  return std::nullopt;
}

std::string NodeIdOf(const std::string& text) {
  std::string id = text;
  for (char& c : id) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-';
    if (!ok) c = '_';
  }
  return id.empty() ? "barometer" : id;
}

#pragma once

#include <optional>
#include <string>

// Where and how the readings are published. The program keeps these in
// barometer.ini (keys mqtt_...); the dialog edits them.
struct TmqttSettings {
  static constexpr int kPlainPort = 1883;
  static constexpr int kTlsPort = 8883;
  static constexpr int kDefaultInterval = 60;
  static constexpr int kLongestInterval = 86400;

  bool enabled = false;
  std::string host;
  int port = kPlainPort;
  bool tls = false;
  // Empty: the system's store of certificate authorities.
  std::string ca_file;
  std::string user;
  std::string password;
  std::string client_id;
  std::string base_topic;
  // Seconds between two state messages; 0 publishes every sample.
  int interval = kDefaultInterval;
  bool retain = false;
  bool discovery = true;
};

// This machine's name ("localhost" when it has none).
std::string HostName();

// Which program publishes: "barometer" (the default) or "barometer-sim".
// The executable says so once at its start; the default client id carries it.
void SetProgramName(const std::string& name);
const std::string& ProgramName();

// "<program>-<8 hex digits>", the digits a hash of this machine's name and
// the real path of the working folder: two programs, or two copies in two
// folders, never share an id on one broker, and a copy keeps its id from
// start to start. At most 22 characters for the two programs' names, within
// the 23 that every broker accepts.
std::string DefaultClientId();
// The same for the given program, host and folder (made a real path here).
std::string DefaultClientId(const std::string& program, const std::string& host,
                            const std::string& folder);
// "barometer/<hostname>".
std::string DefaultBaseTopic();

// What is wrong with a set of settings, by the field the user would correct.
struct TmqttProblem {
  std::string field;  // as the dialog names it: "Port", "Host", ...
  std::string text;   // the whole sentence for the box
};

// The first problem of the settings, or nothing when they can be used. Off
// settings are checked too, except that an empty host is allowed then.
std::optional<TmqttProblem> CheckMqttSettings(const TmqttSettings& settings);

// A name that the home-automation side accepts in a topic level and an id:
// letters, digits, '_' and '-'; anything else becomes '_'.
std::string NodeIdOf(const std::string& text);

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
// "barometer-<hostname>" and "barometer/<hostname>".
std::string DefaultClientId();
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

#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

// The readings of one accepted sample, as they are published.
struct TmqttState {
  std::time_t time = 0;           // calendar seconds
  double pressure = 0;            // local pressure [mbar]
  double sea_level_pressure = 0;  // [mbar]
  double temperature = 0;         // [degrees C]
  double altitude = 0;            // [m]
  // The change of the sea-level pressure over the last 3 hours [mbar], or
  // nothing, and then why.
  std::optional<double> tendency_3h;
  std::string tendency_reason;
  int tendency_code = -1;  // 0..8; anything else: none
  std::string weather;     // the texts the main window shows
  std::string trend;
  // Whether the storm warning is up; absent when not told.
  std::optional<bool> storm_warning;
};

// The state message: one JSON object, numbers with a point whatever the
// locale, the time in ISO 8601 with the local offset.
std::string StateJson(const TmqttState& state);

// "2026-12-09T05:13:47+01:00" for calendar seconds, in local time.
std::string IsoLocalTime(std::time_t time);

// A JSON string literal, quotes included.
std::string JsonString(const std::string& text);

struct TmqttMessage {
  std::string topic;
  std::string payload;
};

// The discovery configs that make the home-automation side create one
// sensor per reading, grouped as one device. node_id names the device in
// the topics and ids; base_topic is where state and availability go.
std::vector<TmqttMessage> DiscoveryMessages(const std::string& node_id,
                                            const std::string& base_topic);

std::string StateTopic(const std::string& base_topic);
std::string AvailabilityTopic(const std::string& base_topic);

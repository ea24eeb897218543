#include "publish/Mqtt_messages.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#ifndef BAROMETER_VERSION
#define BAROMETER_VERSION "unknown"
#endif

namespace {

// A number with `decimals` places and a point; JSON has no NaN or
// infinity, so those are null.
void AppendNumber(std::string& out, double value, int decimals) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) {
    out += "null";
    return;
  }
  out.append(buffer, result.ptr);
}

void AppendKey(std::string& out, const char* key) {
  if (out.size() > 1) out += ',';
  out += '"';
  out += key;
  out += "\":";
}

struct Reading {
  const char* object_id;
  const char* name;
  const char* device_class;  // null: none
  const char* unit;          // null: none
  bool measurement;          // state_class measurement
};

constexpr Reading kReadings[] = {
    {"pressure", "Pressure", "atmospheric_pressure", "hPa", true},
    {"sea_level_pressure", "Sea-level pressure", "atmospheric_pressure", "hPa", true},
    {"temperature", "Temperature", "temperature", "\u00b0C", true},
    {"altitude", "Altitude", "distance", "m", true},
    {"tendency_3h", "3-hour tendency", nullptr, "hPa", true},
    {"tendency_code", "Tendency code", nullptr, nullptr, false},
    {"weather", "Weather", nullptr, nullptr, false},
};

}  // namespace

std::string StateTopic(const std::string& base_topic) {
  return base_topic + "/state";
}

std::string AvailabilityTopic(const std::string& base_topic) {
  return base_topic + "/availability";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (u < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", u);
          out += escape;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string IsoLocalTime(std::time_t time) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return "1970-01-01T00:00:00+00:00";
  char text[40];
  if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) == 0)
    return "1970-01-01T00:00:00+00:00";
  // strftime gives +hhmm; ISO 8601's extended form wants +hh:mm.
  std::string out = text;
  if (out.size() >= 5) out.insert(out.size() - 2, ":");
  return out;
}

std::string StateJson(const TmqttState& s) {
  std::string out = "{";
  out.reserve(320);
  AppendKey(out, "time");
  out += JsonString(IsoLocalTime(s.time));
  AppendKey(out, "pressure");
  AppendNumber(out, s.pressure, 2);
  AppendKey(out, "sea_level_pressure");
  AppendNumber(out, s.sea_level_pressure, 2);
  AppendKey(out, "temperature");
  AppendNumber(out, s.temperature, 2);
  AppendKey(out, "altitude");
  AppendNumber(out, s.altitude, 1);
  AppendKey(out, "tendency_3h");
  if (s.tendency_3h) {
    AppendNumber(out, *s.tendency_3h, 1);
  } else {
    out += "null";
    AppendKey(out, "tendency_reason");
    out += JsonString(s.tendency_reason);
  }
  AppendKey(out, "tendency_code");
  if (s.tendency_code >= 0 && s.tendency_code <= 8)
    out += static_cast<char>('0' + s.tendency_code);
  else
    out += "null";
  AppendKey(out, "weather");
  out += JsonString(s.weather);
  AppendKey(out, "trend");
  out += JsonString(s.trend);
  if (s.storm_warning) {
    AppendKey(out, "storm_warning");
    out += *s.storm_warning ? "true" : "false";
  }
  out += '}';
  return out;
}

std::vector<TmqttMessage> DiscoveryMessages(const std::string& node_id,
                                            const std::string& base_topic) {
  const std::string device = "{\"identifiers\":[" + JsonString("barometer_" + node_id) +
                             "],\"name\":\"Barometer\",\"model\":\"Pressure and temperature "
                             "module\",\"sw_version\":" +
                             JsonString(BAROMETER_VERSION) + "}";
  std::vector<TmqttMessage> messages;
  for (const Reading& r : kReadings) {
    std::string config = "{";
    AppendKey(config, "name");
    config += JsonString(r.name);
    AppendKey(config, "unique_id");
    config += JsonString(node_id + "_" + r.object_id);
    AppendKey(config, "object_id");
    config += JsonString(node_id + "_" + r.object_id);
    AppendKey(config, "state_topic");
    config += JsonString(StateTopic(base_topic));
    AppendKey(config, "availability_topic");
    config += JsonString(AvailabilityTopic(base_topic));
    AppendKey(config, "value_template");
    config += JsonString(std::string("{{ value_json.") + r.object_id + " }}");
    if (r.device_class) {
      AppendKey(config, "device_class");
      config += JsonString(r.device_class);
    }
    if (r.unit) {
      AppendKey(config, "unit_of_measurement");
      config += JsonString(r.unit);
    }
    if (r.measurement) {
      AppendKey(config, "state_class");
      config += "\"measurement\"";
    }
    AppendKey(config, "device");
    config += device;
    config += '}';
    messages.push_back(
        {"homeassistant/sensor/" + node_id + "/" + r.object_id + "/config", std::move(config)});
  }
  return messages;
}

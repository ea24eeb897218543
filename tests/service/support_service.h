#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// What the service's tests share: reading the files it writes, and the
// setup.ini they start it with.

inline std::string ReadAll(const std::string& name) {
  std::ifstream in(name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// n = 1, ts = 1, 250 m and the default weather limits.
inline const char kSetup[] =
    "set_sampling_n\t1\nset_sampling_ts\t1\nset_altitude\t250.000000\n"
    "set_meteo_overcast_limit\t1002.000000\nset_meteo_variable_limit\t1009.000000\n"
    "set_meteo_sunny_limit\t1016.000000\n";

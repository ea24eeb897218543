#pragma once

#include <string>
#include <vector>

class Tbarometer_ini;

// The keys of barometer.ini that are there with a value their feature does
// not take (not a number, out of range, no such choice), in file order of
// the features: the reading settings, MQTT, the port. Their getters give
// the default instead; a program reading the file again can keep the
// values in force for them and say which keys they were.
std::vector<std::string> RefusedBarometerKeys(const Tbarometer_ini& ini);

#pragma once

#include <ctime>
#include <string>

// A full record, as a year of running leaves it: a minute row for every
// minute of the year before `end` and the samples (one a second) of the
// last 7 days, written through the archive itself where it would be (the
// samples) and directly in SQL for the older minutes. `path` must not
// exist yet.
void WriteFullRecord(const std::string& path, std::time_t end);

// A sea-level pressure that wanders like the weather, with a little noise.
double RecordWeather(std::time_t t);

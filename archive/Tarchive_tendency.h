#pragma once

#include <ctime>

#include "atmosphere/Tendency.h"

class Tarchive;

// The pressure record as the 3-hour tendency reads it: its minute means,
// local and sea-level. A null archive is no record ("--").
TendencyRecord TendencyRecordOf(const Tarchive* archive);

// The 3-hour tendency of the record at calendar second now.
ThreeHourTendency RecordTendency(const Tarchive* archive, std::time_t now);

#pragma once

#include <string>

class Tsample_source;

// The search for the sensor at the start (and again from the menu), in the
// steps the splash window shows one by one on its timer: show, search,
// report, hand over to the measurement.
class Tdetection {
 public:
  enum class Action { kShow, kSearched, kFound, kMissing, kHandOver, kIdle };

  // From the first step again.
  void Start();
  // Runs step Step, moves to the next, and tells what the window is to do.
  // The search asks the source whether a sensor answers (none: missing).
  Action Advance(Tsample_source* source);

  int Step = 0;
  bool ModuleMissing = false;
  // Why no sensor answered, in words (empty when the source does not say).
  std::string why;
};

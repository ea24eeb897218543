#pragma once

#include <ctime>

#include "atmosphere/Tendency.h"

// The storm warning: raised when the 3-hour fall of the pressure reaches a
// threshold, cleared when the fall has stayed below the threshold minus
// kClearMargin for kClearAfter seconds. A new warning needs a new crossing;
// after a clearing the fall is below the threshold, so the next one that
// reaches it is one.
//
// It reads the 3-hour tendency of the record (atmosphere/Tendency.h), once a
// minute, and judges the change of the local (station) pressure: a change
// of the altitude setting moves the sea-level pressure but not the station
// pressure, and is no weather. Without a change (less than 3 hours of
// record, a gap) nothing is raised and nothing cleared. The record holds
// only accepted samples, so a reading that went wrong raises nothing.
class Tstorm_warning {
 public:
  static constexpr double kDefaultThreshold = 4.0;  // mbar in 3 hours
  static constexpr double kLeastThreshold = 1.0;
  static constexpr double kMostThreshold = 10.0;
  static constexpr double kClearMargin = 1.0;  // mbar
  static constexpr int kClearAfter = 30 * 60;  // seconds
  // How far back a start looks for a warning still running.
  static constexpr int kReplaySeconds = 6 * 3600;

  enum class Event { None, Raised, Cleared };

  // Off clears a warning at once (Cleared when one was up).
  Event SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  // Clamped to kLeastThreshold..kMostThreshold; NaN keeps the threshold.
  void SetThreshold(double mbar);
  double Threshold() const { return threshold_; }

  // The tendency of a new minute: whether the warning rose or cleared.
  Event Update(const ThreeHourTendency& tendency);
  // Works the minutes from `from` up to the minute of `now` through Update,
  // so that a warning running before a restart is up again at once, with
  // the time it was reached. Returns whether a warning is up at the end.
  bool Replay(const TendencyRecord& record, std::time_t from, std::time_t now);

  bool Active() const { return active_; }
  // The present 3-hour fall of the station pressure [mbar]; positive for a
  // fall. Meaningful while active.
  double Fall() const { return fall_; }
  // The minute the threshold was reached.
  std::time_t Since() const { return since_; }
  // The last minute worked out (-1: none yet).
  std::time_t LastMinute() const { return last_minute_; }

  // No warning, nothing seen.
  void Reset();
  // Another station's warning as it stands, taken as this one's (a viewer
  // of the recording service shows the service's).
  void Mirror(bool active, double fall, std::time_t since);

 private:
  bool enabled_ = true;
  double threshold_ = kDefaultThreshold;
  bool active_ = false;
  double fall_ = 0;
  std::time_t since_ = 0;
  // While active: the first minute of the present run below the clearing
  // level, or -1.
  std::time_t below_since_ = -1;
  std::time_t last_minute_ = -1;
};

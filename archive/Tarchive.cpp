// The pressure record in SQLite. (Interface first; the recording follows.)

#include "archive/Tarchive.h"

#include <sqlite3.h>

struct Tarchive::Accumulator {};
struct Tarchive::Statements {};

Tarchive::Tarchive(Clock& clock, Dialogs* dialogs) : clock_(clock), dialogs_(dialogs) {}
Tarchive::~Tarchive() {
  Close();
}
bool Tarchive::Open(const std::string& path) {
  path_ = path;
  return false;
}
void Tarchive::Close() {}
bool Tarchive::IsRecording() const {
  return recording_;
}
void Tarchive::Record(int32_t, int32_t, double, double, double, double) {}
void Tarchive::Append(const TarchiveSample&) {}
void Tarchive::Flush() {}
void Tarchive::ForEachSample(std::time_t, std::time_t,
                             const std::function<void(const TarchiveSample&)>&) const {}
void Tarchive::ForEachMinute(std::time_t, std::time_t,
                             const std::function<void(const TarchiveMinute&)>&) const {}
std::vector<TarchiveSample> Tarchive::Samples(std::time_t, std::time_t) const {
  return {};
}
std::vector<TarchiveMinute> Tarchive::Minutes(std::time_t, std::time_t) const {
  return {};
}
std::optional<TarchiveMinute> Tarchive::NearestMinute(std::time_t, int) const {
  return {};
}
std::optional<TarchiveMinute> Tarchive::CurrentMinute() const {
  return {};
}
std::optional<TarchiveSample> Tarchive::LastSample() const {
  return last_;
}
std::optional<std::time_t> Tarchive::FirstMinuteTime() const {
  return {};
}

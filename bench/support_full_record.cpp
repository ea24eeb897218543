#include "support_full_record.h"

#include <sqlite3.h>

#include <cmath>

#include "archive/Tarchive.h"
#include "platform/Clock.h"

namespace {
constexpr int kDay = 86400;
}  // namespace

double RecordWeather(std::time_t t) {
  const double x = static_cast<double>(t);
  return 1013 + 12 * std::sin(x / 190000) + 3 * std::sin(x / 43000) + 0.05 * std::sin(x * 1.7);
}

void WriteFullRecord(const std::string& path, std::time_t end) {
  VirtualClock clock(end - 7 * kDay);
  {
    Tarchive archive(clock);
    archive.Open(path);
  }
  // The minutes before the last week, as the archive writes them.
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO minute VALUES(?,60,?,?,?,?,?,?,?,?,?)", -1, &s, nullptr);
  for (std::time_t t = (end - 365 * kDay) / 60 * 60; t < (end - 7 * kDay) / 60 * 60; t += 60) {
    const double p = RecordWeather(t);
    const double local = p - 29.7;
    const double temp = 20 + 5 * std::sin(static_cast<double>(t) / 13751);
    const double values[9] = {p - 0.031,    p,    p + 0.027,   local - 0.031, local, local + 0.027,
                              temp - 0.013, temp, temp + 0.011};
    sqlite3_bind_int64(s, 1, t);
    for (int i = 0; i < 9; ++i) sqlite3_bind_double(s, 2 + i, values[i]);
    sqlite3_step(s);
    sqlite3_reset(s);
  }
  sqlite3_finalize(s);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  // The last week, a sample a second, recorded as the program does.
  Tarchive archive(clock);
  archive.Open(path);
  for (std::time_t t = end - 7 * kDay; t < end; ++t) {
    clock.SetNow(t);
    const double p = RecordWeather(t);
    archive.Record(5400000, 8300000, p - 29.7, 20.5, p, 250.3);
  }
}

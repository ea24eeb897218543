// The pressure record on its own: what readers see, what a close or a
// restart keeps, the minute summaries, and the retention of the samples.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <string>

#include "archive/Tarchive.h"
#include "platform/Clock.h"
#include "platform/ScriptedDialogs.h"
#include "tests/support/sqlite_query.h"

namespace {

// A day that starts on a minute.
constexpr std::time_t kStart = 1700000040;

class TarchiveTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }

  // One sample at the clock's time whose values all derive from v.
  void RecordAt(std::time_t t, double v) {
    clock.SetNow(t);
    archive.Record(static_cast<int32_t>(v * 10), 2, v, v / 100, v + 30, -v);
  }
  long long FileCount(const std::string& table) {
    return QueryNumber(path, "SELECT count(*) FROM " + table);
  }

  QTemporaryDir dir;
  std::string path = dir.filePath("barometer.db").toStdString();
  VirtualClock clock{kStart};
  ScriptedDialogs dialogs;
  Tarchive archive{clock, &dialogs};
};

TEST_F(TarchiveTest, ReadersSeeEverySampleAtOnceAndTheFileWithinABatch) {
  ASSERT_TRUE(archive.Open(path));
  EXPECT_TRUE(archive.IsRecording());
  // Three samples in one minute, two in the next; the batch is still open.
  RecordAt(kStart + 0, 1000);
  RecordAt(kStart + 1, 1003);
  RecordAt(kStart + 2, 1002);
  EXPECT_EQ(archive.Samples(kStart, kStart + 60).size(), 3u);
  // The first went in at once (the next might have been far off), the
  // others wait for their batch.
  EXPECT_EQ(FileCount("sample"), 1);
  const auto current = archive.CurrentMinute();
  ASSERT_TRUE(current);
  EXPECT_EQ(current->time, kStart);
  EXPECT_EQ(current->count, 3);
  EXPECT_DOUBLE_EQ(current->pressure_min, 1000);
  EXPECT_DOUBLE_EQ(current->pressure_mean, 3005.0 / 3);
  EXPECT_DOUBLE_EQ(current->pressure_max, 1003);
  EXPECT_DOUBLE_EQ(current->sea_level_pressure_max, 1033);
  EXPECT_DOUBLE_EQ(current->temperature_min, 10);

  RecordAt(kStart + 61, 990);  // past kCommitSeconds: the batch goes in
  EXPECT_EQ(FileCount("sample"), 4);
  RecordAt(kStart + 62, 992);
  archive.Flush();
  EXPECT_EQ(FileCount("sample"), 5);
  EXPECT_EQ(FileCount("minute"), 2);
  // A sample long after the last one goes in at once.
  RecordAt(kStart + 80, 995);
  EXPECT_EQ(FileCount("sample"), 6);
  const auto minutes = archive.Minutes(kStart - 3600, kStart + 3600);
  ASSERT_EQ(minutes.size(), 2u);
  EXPECT_EQ(minutes[0].count, 3);
  EXPECT_EQ(minutes[1].time, kStart + 60);
  EXPECT_DOUBLE_EQ(minutes[1].pressure_mean, (990.0 + 992 + 995) / 3);

  // Nearest minute: the earlier on a tie, nothing outside the window.
  EXPECT_EQ(archive.NearestMinute(kStart + 30, 600)->time, kStart);
  EXPECT_EQ(archive.NearestMinute(kStart + 31, 600)->time, kStart + 60);
  EXPECT_EQ(archive.NearestMinute(kStart + 60 + 600, 600)->time, kStart + 60);
  EXPECT_FALSE(archive.NearestMinute(kStart + 60 + 601, 600));
  EXPECT_FALSE(archive.NearestMinute(kStart - 601, 600));

  // A reader may read again from inside its visit.
  int inner = 0;
  archive.ForEachMinute(kStart, kStart + 120, [&](const TarchiveMinute&) {
    inner += static_cast<int>(archive.Minutes(kStart, kStart + 120).size());
  });
  EXPECT_EQ(inner, 4);
}

TEST_F(TarchiveTest, ACloseLosesNothingAndARestartContinuesItsMinute) {
  ASSERT_TRUE(archive.Open(path));
  RecordAt(kStart + 10, 1000);
  RecordAt(kStart + 11, 1001);
  archive.Close();
  EXPECT_EQ(FileCount("sample"), 2);
  EXPECT_EQ(QueryText(path, "PRAGMA journal_mode"), "wal");

  // Started again within the same minute: one row, its summary over both.
  Tarchive again(clock, &dialogs);
  ASSERT_TRUE(again.Open(path));
  EXPECT_EQ(again.LastSample()->time, kStart + 11);
  clock.SetNow(kStart + 20);
  again.Record(0, 0, 1004, 10, 1034, 0);
  again.Close();
  EXPECT_EQ(FileCount("minute"), 1);
  EXPECT_EQ(QueryNumber(path, "SELECT count FROM minute"), 3);
  EXPECT_EQ(QueryText(path, "SELECT printf('%.1f', pressure_mean) FROM minute"), "1001.7");
  EXPECT_EQ(QueryText(path, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(dialogs.calls.size(), 0u);
}

TEST_F(TarchiveTest, SamplesAreKeptForSevenDaysAndMinutesForEver) {
  ASSERT_TRUE(archive.Open(path));
  // Eight days, a sample every 20 s.
  const std::time_t end = kStart + 8 * 86400;
  for (std::time_t t = kStart; t < end; t += 20) RecordAt(t, 1000 + (t % 7));
  archive.Flush();
  const std::time_t week_ago = end - 7 * 86400;
  EXPECT_GE(QueryNumber(path, "SELECT min(time) FROM sample"), week_ago - 60);
  EXPECT_EQ(
      QueryNumber(path, "SELECT count(*) FROM sample WHERE time >= " + std::to_string(week_ago)),
      7 * 86400 / 20);
  EXPECT_EQ(FileCount("minute"), 8 * 1440);
  EXPECT_EQ(*archive.FirstMinuteTime(), kStart);
  // The log was copied back into the file along the way.
  EXPECT_LT(QFileInfo(dir.filePath("barometer.db-wal")).size(), 20 << 20);
}

}  // namespace

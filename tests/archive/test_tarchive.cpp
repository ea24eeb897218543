// The pressure record on its own: what readers see, what a close or a
// restart keeps, the minute summaries, and the retention of the samples.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/Tarchive.h"
#include "fakes/ScriptedDialogs.h"
#include "platform/Clock.h"
#include "tests/support/sqlite_query.h"
#include "tests/support/without_permission_override.h"

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
  // A record of `samples` samples, 20 s apart, closed as the program closes it.
  void MakeRecord(int samples) {
    ASSERT_TRUE(archive.Open(path));
    for (int i = 0; i < samples; ++i) RecordAt(kStart + 20 * i, 1000 + i % 9);
    archive.Close();
    clock.SetNow(kStart + 86400);
  }
  // The one box the archive has to show, shown; its text.
  std::string NoticeText(ScriptedDialogs::Kind kind) {
    const size_t before = dialogs.calls.size();
    archive.ShowNotice();
    if (dialogs.calls.size() != before + 1 || dialogs.calls.back().kind != kind) return "";
    return dialogs.calls.back().text;
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

// Runs sql on the file in a connection of its own. With keep_log, the
// connection leaves its log and its index behind, as a killed program does.
void Execute(const std::string& path, const std::string& sql, bool keep_log = false) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  if (keep_log) sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
  sqlite3_free(error);
  sqlite3_close(db);
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A file or folder that may not be written: the record is read as at a
// normal start, nothing goes into it, and the one box says so. Also when
// the last program left its log behind.
TEST_F(TarchiveTest, AFileThatMayNotBeWrittenIsReadAndLeftAsItIs) {
  MakeRecord(200);
  const std::string folder = dir.path().toStdString();
  // A killed program's last 30 samples, still in its log.
  const std::string more =
      "INSERT INTO sample(time, d1, d2, pressure, temperature, sea_level_pressure, altitude) "
      "SELECT time + 4000, d1, d2, pressure, temperature, sea_level_pressure, altitude "
      "FROM sample ORDER BY time DESC LIMIT 30";
  ASSERT_EQ(FileCount("sample"), 200);
  struct Case {
    const char* what;
    bool folder_locked;
    bool log_left;
    bool index_left;
    const char* reason;
  } cases[] = {
      {"read-only file", false, false, false, "the file may not be written"},
      {"read-only folder", true, false, false, "the file may not be written"},
      {"log and index left", true, true, true, "the file may not be written"},
      {"log without its index", true, true, false, "-wal cannot be read from this folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const long long committed = FileCount("sample");
    std::vector<std::string> files = {path};
    if (c.log_left) Execute(path, more, true);
    const long long logged = FileCount("sample");
    if (c.log_left) {
      files.push_back(path + "-wal");
      if (c.index_left) {
        files.push_back(path + "-shm");
      } else {
        ASSERT_TRUE(QFile::remove(QString::fromStdString(path + "-shm")));
      }
    }
    const std::string before = Bytes(path);
    for (const std::string& file : files) ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    if (c.folder_locked) {
      ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    }
    {
      WithoutPermissionOverride no_override;
      Tarchive reader(clock, &dialogs);
      EXPECT_FALSE(reader.Open(path));
      EXPECT_TRUE(reader.IsReadOnly());
      EXPECT_FALSE(reader.IsRecording());
      const size_t shown = c.log_left && !c.index_left ? committed : logged;
      EXPECT_EQ(reader.Samples(kStart, kStart + 86400).size(), shown);
      EXPECT_EQ(reader.Minutes(kStart, kStart + 86400).size(), 67u);
      EXPECT_TRUE(reader.LastSample());
      reader.Record(1, 2, 1000, 20, 1030, 0);
      reader.RecordAltitudeChange(0, 100);
      reader.Close();
      EXPECT_TRUE(dialogs.calls.empty());  // the box waits for ShowNotice
      reader.ShowNotice();
      ASSERT_EQ(dialogs.calls.size(), 1u);
      const std::string& text = dialogs.calls.back().text;
      EXPECT_EQ(dialogs.calls.back().kind, ScriptedDialogs::Kind::Error);
      EXPECT_NE(text.find("Its history is shown, but nothing new is recorded."), std::string::npos)
          << text;
      EXPECT_NE(text.find(c.reason), std::string::npos) << text;
      dialogs.calls.clear();
    }
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    for (const std::string& file : files) ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    EXPECT_EQ(Bytes(path), before);
    // Opened for writing again, the log goes back into the file.
    ASSERT_TRUE(archive.Open(path));
    archive.Close();
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path + "-wal")));
  }
}

// Versions: a file of the first schema is brought up without a change to
// its rows; a file of a newer program is read and never written; reads
// that fail say so rather than give a short history.
TEST_F(TarchiveTest, SchemaVersionsAndReadsThatFail) {
  MakeRecord(100);
  // As the program made files before the schema had a version.
  Execute(path, "DROP TABLE altitude_change; PRAGMA user_version=0");
  const std::string rows =
      "SELECT count(*) || ' ' || sum(time) || ' ' || sum(pressure) FROM sample";
  const std::string minutes =
      "SELECT group_concat(time || ':' || count || ':' || pressure_mean) "
      "FROM (SELECT * FROM minute ORDER BY time)";
  const std::string sample_rows = QueryText(path, rows);
  const std::string minute_rows = QueryText(path, minutes);
  ASSERT_TRUE(archive.Open(path));
  EXPECT_EQ(QueryNumber(path, "PRAGMA user_version"), Tarchive::kSchemaVersion);
  EXPECT_EQ(QueryText(path, rows), sample_rows);
  EXPECT_EQ(QueryText(path, minutes), minute_rows);
  clock.SetNow(kStart + 5000);
  archive.RecordAltitudeChange(0, 450);
  clock.SetNow(kStart + 6000);
  archive.RecordAltitudeChange(450, 300);
  EXPECT_EQ(QueryNumber(path, "SELECT count(*) FROM altitude_change"), 2);
  const auto changes = archive.AltitudeChanges(kStart, kStart + 5500);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].time, kStart + 5000);
  EXPECT_EQ(changes[0].new_altitude, 450);
  archive.Close();
  EXPECT_FALSE(archive.HasNotice());

  // A newer program's file: read, not a byte of it written.
  Execute(path, "PRAGMA user_version=" + std::to_string(Tarchive::kSchemaVersion + 1));
  const std::string newer = Bytes(path);
  ASSERT_FALSE(archive.Open(path));
  EXPECT_TRUE(archive.IsReadOnly());
  EXPECT_EQ(archive.Samples(kStart, kStart + 86400).size(), 100u);
  EXPECT_EQ(archive.AltitudeChanges(kStart, kStart + 86400).size(), 2u);
  archive.Record(1, 2, 1000, 20, 1030, 0);
  archive.Close();
  EXPECT_EQ(Bytes(path), newer);
  const std::string text = NoticeText(ScriptedDialogs::Kind::Error);
  EXPECT_NE(text.find(path + " belongs to a newer version of the program."), std::string::npos)
      << text;
  EXPECT_NE(text.find("nothing new is recorded"), std::string::npos) << text;

  // A table that goes while the program reads it (another program's doing):
  // the read that fails, whether it prepares or steps, says so once.
  Execute(path, "PRAGMA user_version=" + std::to_string(Tarchive::kSchemaVersion));
  ASSERT_TRUE(archive.Open(path));
  EXPECT_EQ(archive.Minutes(kStart, kStart + 86400).size(), 34u);
  Execute(path, "DROP TABLE minute");
  EXPECT_FALSE(archive.ForEachMinute(kStart, kStart + 86400, [](const TarchiveMinute&) {}));
  EXPECT_FALSE(archive.NearestMinute(kStart + 600, 600));
  EXPECT_FALSE(archive.FirstMinuteTime());
  const std::string failed = NoticeText(ScriptedDialogs::Kind::Error);
  EXPECT_NE(failed.find("could not be read"), std::string::npos) << failed;
  EXPECT_NE(failed.find("may be incomplete"), std::string::npos) << failed;
  EXPECT_FALSE(archive.HasNotice());
  // The samples still read.
  EXPECT_TRUE(archive.ForEachSample(kStart, kStart + 86400, [](const TarchiveSample&) {}));
}

// The second version: samples of a source without raw words, and the
// source of each. A file of the first version is read as it is where it
// may not be written, and brought up whole (or not at all) where it may.
TEST_F(TarchiveTest, TheSecondSchemaKeepsRowsWithoutRawWordsAndTheirSource) {
  MakeRecord(100);
  // As the first version made the table.
  Execute(path,
          "CREATE TABLE v1(time INTEGER NOT NULL, d1 INTEGER NOT NULL, d2 INTEGER NOT NULL, "
          "pressure REAL NOT NULL, temperature REAL NOT NULL, "
          "sea_level_pressure REAL NOT NULL, altitude REAL NOT NULL);"
          "INSERT INTO v1 SELECT time, d1, d2, pressure, temperature, sea_level_pressure, "
          "altitude FROM sample ORDER BY rowid;"
          "DROP TABLE sample; ALTER TABLE v1 RENAME TO sample;"
          "CREATE INDEX sample_time ON sample(time); PRAGMA user_version=1");
  const std::string rows =
      "SELECT count(*) || ' ' || sum(time) || ' ' || sum(d1) || ' ' || sum(pressure) "
      "FROM sample";
  const std::string d1_not_null =
      "SELECT \"notnull\" FROM pragma_table_info('sample') WHERE name = 'd1'";
  const std::string sample_rows = QueryText(path, rows);
  ASSERT_EQ(QueryNumber(path, d1_not_null), 1);

  // Read only: the rows as they are, all the module's.
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  {
    WithoutPermissionOverride as_a_user;
    EXPECT_FALSE(archive.Open(path));
    ASSERT_TRUE(archive.IsReadOnly());
    const auto samples = archive.Samples(kStart, kStart + 86400);
    ASSERT_EQ(samples.size(), 100u);
    EXPECT_TRUE(samples[0].has_words);
    EXPECT_EQ(samples[0].source, TarchiveSource::kModule);
    EXPECT_EQ(samples[3].d1, 10030);
    ASSERT_TRUE(archive.LastSample());
    EXPECT_EQ(archive.LastSample()->time, kStart + 20 * 99);
    archive.Close();
  }
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  archive.ShowNotice();

  // A step that fails half-way (a table of that name already there) leaves
  // the file as it was.
  Execute(path, "CREATE TABLE sample_v2(x)");
  EXPECT_FALSE(archive.Open(path));
  archive.Close();
  archive.ShowNotice();
  EXPECT_EQ(QueryNumber(path, "PRAGMA user_version"), 1);
  EXPECT_EQ(QueryNumber(path, d1_not_null), 1);
  EXPECT_EQ(QueryText(path, rows), sample_rows);
  Execute(path, "DROP TABLE sample_v2");

  ASSERT_TRUE(archive.Open(path));
  EXPECT_EQ(QueryNumber(path, "PRAGMA user_version"), 2);
  EXPECT_EQ(QueryText(path, rows), sample_rows);
  EXPECT_EQ(QueryNumber(path, d1_not_null), 0);
  EXPECT_EQ(QueryNumber(path, "SELECT count(*) FROM sample WHERE source = 0"), 100);
  EXPECT_EQ(QueryText(path, "SELECT group_concat(name) FROM pragma_index_list('sample')"),
            "sample_time");

  // A sample of an IIO sensor: no raw words, its source named; read back
  // from memory and from the file alike.
  clock.SetNow(kStart + 86400);
  archive.Record(TarchiveSource::kIio, std::nullopt, std::nullopt, 1001.5, 21.25, 1031.5, 250);
  auto last = archive.Samples(kStart + 86400, kStart + 86401);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_FALSE(last[0].has_words);
  EXPECT_EQ(last[0].source, TarchiveSource::kIio);
  RecordAt(kStart + 86401, 1002);
  archive.Close();
  EXPECT_EQ(QueryText(path,
                      "SELECT group_concat(quote(d1) || ' ' || quote(d2) || ' ' || source, ', ') "
                      "FROM (SELECT * FROM sample WHERE time >= " +
                          std::to_string(kStart + 86400) + " ORDER BY time)"),
            "NULL NULL 1, 10020 2 0");
  ASSERT_TRUE(archive.Open(path));
  last = archive.Samples(kStart + 86400, kStart + 86402);
  ASSERT_EQ(last.size(), 2u);
  EXPECT_FALSE(last[0].has_words);
  EXPECT_EQ(last[0].d1, 0);
  EXPECT_EQ(last[0].source, TarchiveSource::kIio);
  EXPECT_DOUBLE_EQ(last[0].pressure, 1001.5);
  EXPECT_TRUE(last[1].has_words);
  EXPECT_EQ(last[1].source, TarchiveSource::kModule);
  archive.Close();
  EXPECT_FALSE(archive.HasNotice());

  // And as a user reads it, with sqlite3.
  QProcess cli;
  cli.start("sqlite3", {QString::fromStdString(path),
                        "SELECT count(*) FROM sample WHERE d1 IS NULL AND source = 1"});
  ASSERT_TRUE(cli.waitForFinished(10000));
  EXPECT_EQ(cli.readAllStandardOutput().trimmed(), "1") << cli.readAllStandardError().toStdString();
}

}  // namespace

namespace {

// Another program holding the file for a moment as the program starts (a
// sqlite3 user, or any reader closing as the file's last connection) delays
// the opening; it does not cost the run its recording.
TEST_F(TarchiveTest, AFileHeldForAMomentByAnotherProgramIsWaitedFor) {
  MakeRecord(10);
  QProcess other;
  other.start("sqlite3", {QString::fromStdString(path)});
  ASSERT_TRUE(other.waitForStarted());
  other.write("BEGIN IMMEDIATE;\nSELECT 'held';\n.shell sleep 0.5\nCOMMIT;\n.quit\n");
  ASSERT_TRUE(other.waitForReadyRead(10000));
  ASSERT_EQ(other.readAllStandardOutput().trimmed(), "held");
  EXPECT_TRUE(archive.Open(path)) << NoticeText(ScriptedDialogs::Kind::Error);
  EXPECT_TRUE(archive.IsRecording());
  ASSERT_TRUE(other.waitForFinished(10000));
  EXPECT_EQ(other.exitCode(), 0) << other.readAllStandardError().toStdString();
  RecordAt(kStart + 86400, 5);
  archive.Close();
  EXPECT_EQ(FileCount("sample"), 11);
}

// A disk that fills: recording stops with one box, and is tried again
// every minute without another; a minute at most after space comes back
// the rows go in again, and that is said once.
TEST_F(TarchiveTest, RecordingComesBackByItselfAfterADiskFull) {
  ASSERT_TRUE(archive.Open(path));
  std::time_t t = kStart;
  for (; t < kStart + 20; ++t) RecordAt(t, 1000);
  archive.Flush();
  const long long before = FileCount("sample");
  ASSERT_EQ(before, 20);

  // No write goes in any more (a file-size limit of one byte).
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit{};
  getrlimit(RLIMIT_FSIZE, &old_limit);
  rlimit full = old_limit;
  full.rlim_cur = 1;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
  std::time_t failed_at = 0;
  for (; t < kStart + 200; ++t) {
    RecordAt(t, 1000);
    if (failed_at == 0 && !archive.IsRecording()) failed_at = t;
  }
  ASSERT_NE(failed_at, 0);
  EXPECT_FALSE(archive.IsRecording()) << "the tries at +60 s and +120 s failed too";
  const std::string box = NoticeText(ScriptedDialogs::Kind::Error);
  EXPECT_NE(box.find("stopped"), std::string::npos) << box;
  EXPECT_NE(box.find("tries again to record every minute"), std::string::npos) << box;
  EXPECT_FALSE(archive.HasNotice());

  // Space again: within a minute the samples go in, with one word of it.
  setrlimit(RLIMIT_FSIZE, &old_limit);
  const std::time_t room_at = t;
  std::time_t back_at = 0;
  for (; t < room_at + 120; ++t) {
    RecordAt(t, 1001);
    if (back_at == 0 && archive.IsRecording()) back_at = t;
    if (archive.HasNotice()) {
      EXPECT_EQ(NoticeText(ScriptedDialogs::Kind::Information),
                "Recording into the pressure record " + path + " goes on again.");
    }
  }
  ASSERT_NE(back_at, 0);
  EXPECT_LE(back_at - room_at, Tarchive::kRetrySeconds);
  RecordProperty("seconds_to_rows_again", static_cast<int>(back_at - room_at));
  EXPECT_EQ(dialogs.calls.size(), 2u);
  EXPECT_TRUE(archive.FailureText().empty());
  archive.Close();
  // Every sample from the try that succeeded on is in, and every minute
  // summarises exactly the samples of it in the file.
  EXPECT_EQ(
      QueryNumber(path, "SELECT count(*) FROM sample WHERE time >= " + std::to_string(back_at)),
      room_at + 120 - back_at);
  EXPECT_EQ(QueryNumber(path, "SELECT sum(count) FROM minute"), FileCount("sample"));
  EXPECT_EQ(QueryText(path, "PRAGMA integrity_check"), "ok");

  // A second failure after the record came back is told again.
  ASSERT_TRUE(archive.Open(path));
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
  for (std::time_t end = t + 20; t < end; ++t) RecordAt(t, 1002);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  EXPECT_FALSE(NoticeText(ScriptedDialogs::Kind::Error).empty());
}

// A clock set back loses no sample, and the time recorded twice is known,
// also against the record of an earlier run; a set-back of a minute or less
// is the clock's own correction.
TEST_F(TarchiveTest, AClockSetBackIsKnownAndLosesNothing) {
  MakeRecord(30);  // to kStart + 580; the clock now a day on
  ASSERT_TRUE(archive.Open(path));
  RecordAt(kStart + 400, 1);
  RecordAt(kStart + 340, 2);  // back 60 s: no set-back
  ASSERT_EQ(archive.SetBacks().size(), 1u);
  EXPECT_EQ(archive.SetBacks()[0].from, kStart + 580);
  EXPECT_EQ(archive.SetBacks()[0].to, kStart + 400);
  // The minutes of kStart + 360 .. kStart + 580 are doubled.
  EXPECT_EQ(archive.SetBackWithin(kStart + 600, kStart + 900), std::nullopt);
  EXPECT_EQ(archive.SetBackWithin(kStart + 500, kStart + 560), kStart + 400);
  EXPECT_EQ(archive.SetBackWithin(kStart, kStart + 360), std::nullopt);
  archive.Close();
  EXPECT_EQ(FileCount("sample"), 32);
  EXPECT_EQ(QueryNumber(path, "SELECT sum(count) FROM minute"), 32);
  EXPECT_EQ(
      QueryNumber(path, "SELECT count FROM minute WHERE time = " + std::to_string(kStart + 360)),
      4);
}

}  // namespace

TEST_F(TarchiveTest, ALongerBatchPolicyWritesOnlyOnceItsTimeHasCome) {
  archive.SetBatchPolicy(600, 5000);
  ASSERT_TRUE(archive.Open(path));
  RecordAt(kStart, 1000);  // the first goes in at once, as always
  for (int s = 1; s < 300; ++s) RecordAt(kStart + s, 1000 + s % 7);
  // Five minutes ended, and none of them is in the file yet; readers of the
  // archive see them all.
  EXPECT_EQ(FileCount("sample"), 1);
  EXPECT_EQ(archive.Samples(kStart, kStart + 300).size(), 300u);
  EXPECT_EQ(archive.Minutes(kStart, kStart + 300).size(), 5u);
  for (int s = 300; s <= 601; ++s) RecordAt(kStart + s, 1000);
  EXPECT_EQ(FileCount("sample"), 602);
  EXPECT_EQ(FileCount("minute"), 11);
  archive.Close();  // a normal close loses nothing
}

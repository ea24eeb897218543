// The whole program with its pressure record: the history and the chart
// brought back after a restart, a killed program's file, and every failure
// of the record shown once while the program measures on.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QThread>

#include "archive/Tarchive.h"
#include "chart/Plot_time.h"
#include "chart/Tchart.h"
#include "components/Lcd_bar.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "support_program.h"
#include "tests/support/sqlite_query.h"
#include "tests/support/without_permission_override.h"

namespace {

class ArchiveProgramTest : public ProgramTest {
 protected:
  std::string Db() const { return PathOf("barometer.db").toStdString(); }

  // The program measuring for `seconds`, one tick every 30 s.
  void RunFor(int seconds) {
    for (int t = 0; t < seconds; t += 30) {
      clock.AdvanceSeconds(30);
      Program().Wmain->OnTimer();
      ShowLaterBoxes();
    }
  }
  void Restart(int pause_seconds) {
    EndProgramNow();
    clock.AdvanceSeconds(pause_seconds);
    StartProgram();
    RunDetection();
  }
  // The one box names the record and the reason, and the program measures
  // on without another.
  void ExpectOneBoxAndMeasuring(const std::string& reason,
                                ScriptedDialogs::Kind kind = ScriptedDialogs::Kind::Error) {
    ASSERT_EQ(dialogs.calls.size(), 1u);
    ASSERT_EQ(dialogs.calls.front().kind, kind);
    const std::string& text = dialogs.calls.front().text;
    EXPECT_NE(text.find(Db()), std::string::npos) << text;
    EXPECT_NE(text.find(reason), std::string::npos) << text;
    const int before = Program().Wchart->MeasurementCount();
    MeasureTicks(30);
    EXPECT_EQ(Program().Wchart->MeasurementCount(), before + 30);
    EXPECT_EQ(dialogs.calls.size(), 1u);
  }
};

// The minute on record nearest to t within 10 minutes, as a user finds it.
double ArchivedEntry(const std::string& db, std::time_t t) {
  const std::string at = std::to_string(t);
  const double p =
      QueryDouble(db, "SELECT sea_level_pressure_mean FROM minute WHERE abs(time - " + at +
                          ") <= 600 ORDER BY abs(time - " + at + "), time LIMIT 1");
  return std::isnan(p) ? Tmeteo::kEmpty : p;
}

TEST_F(ArchiveProgramTest, ARestartBringsBackTheHistoryTheTrendAndTheChart) {
  StartMeasuringProgram();
  // 20 hours of record: 7.5 h, closed for 5 h, 7.5 h; started again 10
  // minutes after the close.
  RunFor(7 * 3600 + 1800);
  Restart(5 * 3600);
  RunFor(7 * 3600 + 1800);
  EndProgramNow();
  clock.AdvanceSeconds(600);
  const std::time_t restarted = clock.Now();
  StartProgram();
  RunDetection();
  const std::time_t now = clock.Now();
  TWmain* w = Program().Wmain;

  // Entry k is the minute nearest to k hours ago; 8 to 12 hours ago (40
  // minutes into the gap up to 20 minutes before its end) there is none.
  Tmeteo replay(clock);
  for (int k = Tmeteo::kHistorySize - 1; k >= 1; --k) {
    const double entry = w->meteo->GetHistory(k);
    EXPECT_EQ(entry, ArchivedEntry(Db(), now - k * 3600)) << k;
    EXPECT_EQ(entry == Tmeteo::kEmpty, k >= 8 && k <= 12) << k;
    if (entry != Tmeteo::kEmpty) replay.PushHistory(entry);
  }
  // Entry 0 is the first good sample since the start.
  ASSERT_NE(w->meteo->GetHistory(0), Tmeteo::kEmpty);
  replay.PushHistory(w->meteo->GetHistory(0));
  // The window as the non-empty entries, pushed one by one, leave it; the
  // trend from the last hour, shown at once.
  EXPECT_EQ(w->meteo->GetBarLow(), replay.GetBarLow());
  EXPECT_EQ(w->meteo->GetBarHigh(), replay.GetBarHigh());
  EXPECT_EQ(w->meteo->GetTrend(), replay.GetTrend());
  EXPECT_EQ(w->shown_trend, replay.GetTrend());
  for (Tlcd_bar* bar : {w->pb0, w->pb1, w->pb2, w->pb4, w->pb8, w->pb16}) {
    EXPECT_NEAR(bar->YLowRange(),
                replay.GetBarLow() - (replay.GetBarHigh() - replay.GetBarLow()) / 14, 1e-9);
    EXPECT_EQ(bar->YHighRange(), replay.GetBarHigh());
  }
  EXPECT_TRUE(w->pb1->EnableDisplay());
  EXPECT_FALSE(w->pb8->EnableDisplay());
  EXPECT_TRUE(w->pb16->EnableDisplay());
  EXPECT_EQ(w->pb16->BarValue(), w->meteo->GetHistory(16));
  // The next entry an hour after the start (during detection); the minima
  // and maxima over the few samples since the start, not over the record.
  EXPECT_LE(now - w->meteo->GetLastPushTime(), 3);
  EXPECT_LT(w->p_sea_max - w->p_sea_min, 0.5);
  EXPECT_GT(QueryDouble(Db(),
                        "SELECT max(sea_level_pressure_max) - min(sea_level_pressure_min) "
                        "FROM minute"),
            1);
  const auto since_start = Program().archive->Samples(restarted, now + 1);

  // The chart: the samples of the last hour on record (the 50 minutes
  // before the close), then those since the start.
  const auto samples = Program().archive->Samples(now - 3600, restarted);
  const int n = static_cast<int>(samples.size());
  ASSERT_GE(n, 100);
  Tplot_time* plot = Program().Wchart->pressure_plot;
  ASSERT_EQ(plot->Count(), n + static_cast<int>(since_start.size()));
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(plot->TimeAt(i), samples[i].time) << i;
    EXPECT_EQ(plot->ValueAt(i), samples[i].pressure) << i;
  }
  EXPECT_EQ(Program().Wchart->temperature_plot->ValueAt(n - 1), samples[n - 1].temperature);
  EXPECT_EQ(Program().Wchart->altitude_plot->ValueAt(n - 1), samples[n - 1].altitude);

  // A new detection from the menu takes nothing back again.
  const int charted = plot->Count();
  const int measured = Program().Wchart->MeasurementCount();
  w->DetectmoduleonLPT11Click();
  RunDetection();
  EXPECT_GT(Program().Wchart->MeasurementCount(), measured);
  EXPECT_EQ(plot->Count() - charted, Program().Wchart->MeasurementCount() - measured);
}

TEST_F(ArchiveProgramTest, AKilledProgramLeavesASoundRecordAndASecondOneKeepsOut) {
  InstallDefaultSetup();
  QProcess child;
  child.setWorkingDirectory(PathOf(""));
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(BAROMETER_SIM, {});
  ASSERT_TRUE(child.waitForStarted());
  // Detection, then a sample a second, committed in batches.
  for (int i = 0; i < 1200 && QueryNumber(Db(), "SELECT count(*) FROM sample") < 12; ++i)
    QThread::msleep(100);
  ASSERT_GE(QueryNumber(Db(), "SELECT count(*) FROM sample"), 12);

  // A second program in the same folder measures without recording.
  StartProgram();
  RunDetection();
  EXPECT_FALSE(Program().archive->IsRecording());
  ExpectOneBoxAndMeasuring("another program is already recording into it");
  EndProgramNow();

  // Killed a moment after a batch went in, in the middle of the next one.
  const long long before = QueryNumber(Db(), "SELECT count(*) FROM sample");
  for (int i = 0; i < 600 && QueryNumber(Db(), "SELECT count(*) FROM sample") == before; ++i)
    QThread::msleep(50);
  QThread::msleep(2500);
  const std::time_t killed = std::time(nullptr);
  ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
  ASSERT_TRUE(child.waitForFinished());
  EXPECT_EQ(QueryText(Db(), "PRAGMA integrity_check"), "ok");
  EXPECT_GT(QueryNumber(Db(), "SELECT count(*) FROM sample"), before);
  // At most the last 10 s are lost (2 s more for a busy machine).
  EXPECT_GE(QueryNumber(Db(), "SELECT max(time) FROM sample"), killed - 12);
  EXPECT_EQ(QueryNumber(Db(), "SELECT sum(count) FROM minute"),
            QueryNumber(Db(), "SELECT count(*) FROM sample"));
}

TEST_F(ArchiveProgramTest, AFolderThatMayNotBeWrittenIsSaidOnce) {
  InstallDefaultSetup();
  QFile::setPermissions(PathOf(""), QFile::ReadOwner | QFile::ExeOwner);
  {
    WithoutPermissionOverride no_override;
    StartProgram();
    RunDetection();
    EXPECT_FALSE(Program().archive->IsRecording());
    ExpectOneBoxAndMeasuring("the folder may not be written");
  }
  QFile::setPermissions(PathOf(""), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_FALSE(Exists(PathOf("barometer.db")));
}

// Every connection opened while it is registered finds the disk full once
// its file has grown by two pages.
int FillDiskSoon(sqlite3* db, const char**, const sqlite3_api_routines*) {
  sqlite3_stmt* s = nullptr;
  int pages = 0;
  if (sqlite3_prepare_v2(db, "PRAGMA page_count", -1, &s, nullptr) == SQLITE_OK &&
      sqlite3_step(s) == SQLITE_ROW)
    pages = sqlite3_column_int(s, 0);
  sqlite3_finalize(s);
  const std::string limit = "PRAGMA max_page_count=" + std::to_string(pages + 2);
  sqlite3_exec(db, limit.c_str(), nullptr, nullptr, nullptr);
  return SQLITE_OK;
}

TEST_F(ArchiveProgramTest, AFullDiskStopsTheRecordingOnce) {
  StartMeasuringProgram();
  MeasureTicks(20);
  EndProgramNow();
  const long long recorded = QueryNumber(Db(), "SELECT count(*) FROM sample");
  ASSERT_GT(recorded, 0);

  sqlite3_auto_extension(reinterpret_cast<void (*)()>(FillDiskSoon));
  StartProgram();
  RunDetection();
  EXPECT_TRUE(Program().archive->IsRecording());
  for (int i = 0; i < 3000 && ErrorCount() == 0; ++i) MeasureTicks(1);
  sqlite3_reset_auto_extension();

  EXPECT_FALSE(Program().archive->IsRecording());
  ExpectOneBoxAndMeasuring("the disk is full");
  EndProgramNow();
  EXPECT_EQ(QueryText(Db(), "PRAGMA integrity_check"), "ok");
  EXPECT_GT(QueryNumber(Db(), "SELECT count(*) FROM sample"), recorded + 20);
}

TEST_F(ArchiveProgramTest, ADamagedFileIsPutAsideAndANewRecordStarted) {
  // A file of text, and a record whose first page was overwritten.
  StartMeasuringProgram();
  MeasureTicks(10);
  EndProgramNow();
  std::string damaged = ReadFile(PathOf("barometer.db"));
  ASSERT_GT(damaged.size(), 200u);
  damaged.replace(100, 12, std::string(12, '\xff'));
  for (const std::string& content : {std::string("temperature,pressure\n20.1,1013.2\n"), damaged}) {
    SCOPED_TRACE(content.size());
    for (const QString& name : QDir(PathOf("")).entryList({"barometer.db*"}))
      QFile::remove(PathOf(name));
    WriteFile(PathOf("barometer.db"), content);
    dialogs.calls.clear();
    // The box only informs: when it opens, the new record has its first
    // sample and the measurement goes on behind it.
    long long recorded_when_shown = -1;
    bool measuring_when_shown = false;
    dialogs.on_call = [&](const ScriptedDialogs::Call&) {
      recorded_when_shown = QueryNumber(Db(), "SELECT count(*) FROM sample");
      measuring_when_shown = Program().Wmain->Timer1->isActive();
    };
    StartProgram();
    EXPECT_TRUE(dialogs.calls.empty());
    RunDetection();
    dialogs.on_call = nullptr;
    ASSERT_EQ(InformationCount(), 1);
    EXPECT_GE(recorded_when_shown, 1);
    EXPECT_TRUE(measuring_when_shown);
    const std::string& text = dialogs.calls.front().text;
    // Renamed to barometer.db.corrupt-YYYYMMDD-HHMMSS beside it.
    const std::string name = "barometer.db.corrupt-";
    const size_t at = text.find(name);
    ASSERT_NE(at, std::string::npos) << text;
    const std::string aside = text.substr(at, name.size() + 15);
    EXPECT_EQ(aside.find_first_not_of("0123456789-", name.size()), std::string::npos) << aside;
    EXPECT_EQ(aside[name.size() + 8], '-') << aside;
    EXPECT_EQ(ReadFile(PathOf(QString::fromStdString(aside))), content);
    EXPECT_TRUE(Program().archive->IsRecording());
    ExpectOneBoxAndMeasuring("renamed to " + PathOf(QString::fromStdString(aside)).toStdString(),
                             ScriptedDialogs::Kind::Information);
    EndProgramNow();
    EXPECT_EQ(QueryText(Db(), "PRAGMA integrity_check"), "ok");
    EXPECT_GE(QueryNumber(Db(), "SELECT count(*) FROM sample"), 30);
  }
}

// A record that cannot be written (a read-only file, a file of a newer
// version of the program) still gives the history, the trend, the chart and
// the barograph as at a normal start; the one box says nothing new is
// recorded, and the file stays as it was.
TEST_F(ArchiveProgramTest, ARecordThatCannotBeWrittenIsShownAsItIs) {
  StartMeasuringProgram();
  RunFor(5 * 3600);
  EndProgramNow();
  struct Case {
    const char* what;
    const char* sql;
    mode_t mode;
    const char* reason;
  } cases[] = {
      {"read-only file", "", 0444, "the file may not be written"},
      {"newer version", "PRAGMA user_version=99", 0644, "belongs to a newer version"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (*c.sql != '\0') {
      sqlite3* db = nullptr;
      ASSERT_EQ(sqlite3_open(Db().c_str(), &db), SQLITE_OK);
      EXPECT_EQ(sqlite3_exec(db, c.sql, nullptr, nullptr, nullptr), SQLITE_OK);
      sqlite3_close(db);
    }
    const std::string before = ReadFile(PathOf("barometer.db"));
    ASSERT_EQ(chmod(Db().c_str(), c.mode), 0);
    clock.AdvanceSeconds(600);
    dialogs.calls.clear();
    {
      WithoutPermissionOverride no_override;
      StartProgram();
      RunDetection();
      EXPECT_TRUE(Program().archive->IsReadOnly());
      const std::time_t now = clock.Now();
      TWmain* w = Program().Wmain;
      for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(w->meteo->GetHistory(k), ArchivedEntry(Db(), now - k * 3600)) << k;
      EXPECT_NE(w->meteo->GetHistory(4), Tmeteo::kEmpty);
      EXPECT_TRUE(w->pb4->EnableDisplay());
      EXPECT_GT(Program().Wchart->pressure_plot->Count(), 50);
      EXPECT_GT(Program().archive->Minutes(now - 86400, now).size(), 290u);
      ExpectOneBoxAndMeasuring(c.reason);
      EXPECT_NE(dialogs.calls.front().text.find("nothing new is recorded"), std::string::npos);
      EndProgramNow();
    }
    ASSERT_EQ(chmod(Db().c_str(), 0644), 0);
    EXPECT_EQ(ReadFile(PathOf("barometer.db")), before);
  }
}

}  // namespace

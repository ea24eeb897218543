// The wall clock set back an hour or forward a day while the whole program
// runs on the simulated module, in virtual time: nothing is lost from the
// record, the history takes one value an hour at most, the barograph and the
// chart hold the samples at the times they were recorded, and the 3-hour
// tendency says why it has no change rather than making one over the jump.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTimer>
#include <string>

#include "archive/Tarchive.h"
#include "atmosphere/Tmeteo.h"
#include "chart/Plot_time.h"
#include "chart/Tchart.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "support_program.h"
#include "tests/support/sqlite_query.h"
#include "windows/Barograph_plot.h"
#include "windows/Tbarograph.h"

namespace {

class ClockJumpTest : public ProgramTest {
 protected:
  std::string Db() const { return PathOf("barometer.db").toStdString(); }

  void Start() {
    StartMeasuringProgram();
    Program().Wmain->ViewBarograph1Click();
  }

  // The program measuring for `seconds`, one tick every 30 s; the history
  // entries taken meanwhile are counted.
  void RunFor(int seconds) {
    for (int t = 0; t < seconds; t += 30) {
      clock.AdvanceSeconds(30);
      const std::time_t pushed = Program().Wmain->meteo->GetLastPushTime();
      Program().Wmain->OnTimer();
      ShowLaterBoxes();
      if (Program().Wmain->meteo->GetLastPushTime() != pushed) ++history_entries;
    }
  }

  std::string Tendency() const { return Program().Wbarograph->lb_tendency->text().toStdString(); }

  // Every sample recorded is in the file, once, and in its minute: the
  // minutes' counts and means are those of their samples.
  void ExpectRecordWhole() {
    EXPECT_TRUE(Program().archive->IsRecording());
    EXPECT_EQ(ErrorCount(), 0);
    const auto recorded = static_cast<long long>(Program().archive->Revision());
    // The chart holds the samples at the times they were recorded.
    const Tplot_time* plot = Program().Wchart->pressure_plot;
    ASSERT_GT(plot->Count(), 0);
    EXPECT_EQ(plot->TimeAt(plot->Count() - 1), Program().archive->LastSample()->time);
    // The barograph's columns hold the record's minutes where they lie.
    const Tbarograph_columns& columns = Program().Wbarograph->columns;
    ASSERT_GE(columns.ColumnSeconds(), 60);
    const auto minutes = Program().archive->Minutes(columns.Start(), columns.End());
    std::vector<int> counts(static_cast<size_t>(columns.Count()), 0);
    for (const TarchiveMinute& m : minutes)
      counts[static_cast<size_t>(columns.ColumnOf(m.time))] += m.count;
    for (int i = 0; i < columns.Count(); ++i) EXPECT_EQ(columns[i].count, counts[i]) << i;

    EndProgramNow();
    EXPECT_EQ(QueryNumber(Db(), "SELECT count(*) FROM sample"), recorded);
    EXPECT_EQ(QueryNumber(Db(), "SELECT sum(count) FROM minute"), recorded);
    EXPECT_EQ(QueryNumber(Db(),
                          "SELECT count(*) FROM minute m WHERE count != (SELECT count(*) FROM "
                          "sample s WHERE s.time >= m.time AND s.time < m.time + 60) OR "
                          "abs(sea_level_pressure_mean - (SELECT avg(sea_level_pressure) FROM "
                          "sample s WHERE s.time >= m.time AND s.time < m.time + 60)) > 1e-9"),
              0);
  }

  int history_entries = 0;
};

TEST_F(ClockJumpTest, TheClockSetBackAnHour) {
  Start();
  RunFor(4 * 3600);
  ASSERT_NE(Tendency().find("in 3 hours"), std::string::npos) << Tendency();
  const std::time_t before = clock.Now();
  history_entries = 0;

  clock.SetWallClockBy(-3600);
  RunFor(60);
  const std::string set_back =
      "the clock was set back to " + Tbarograph_plot::TimeText(before - 3600 + 30).toStdString();
  EXPECT_NE(Tendency().find("--  (" + set_back), std::string::npos) << Tendency();
  // The range shown ends at the present, on the clock as it reads now.
  const std::time_t minute = clock.Now() - clock.Now() % 60;
  EXPECT_NE(Program().Wbarograph->lb_range->text().toStdString().find(
                "to  " + Tbarograph_plot::TimeText(minute).toStdString()),
            std::string::npos);

  // While a minute the tendency reads (within 10 minutes of now, 90 minutes
  // and 3 hours ago) lies in the hour recorded twice, it has no change; in
  // between and once all three are past it, it has one.
  RunFor(4440);  // 15 minutes past the time set back from
  EXPECT_NE(Tendency().find("in 3 hours"), std::string::npos) << Tendency();
  RunFor(2100);  // 90 minutes ago lies in the hour recorded twice
  EXPECT_NE(Tendency().find(set_back), std::string::npos) << Tendency();
  RunFor(3300);  // ... and 15 minutes after it
  EXPECT_NE(Tendency().find("in 3 hours"), std::string::npos) << Tendency();
  RunFor(2700);  // 3 hours ago lies in it
  EXPECT_NE(Tendency().find(set_back), std::string::npos) << Tendency();
  RunFor(2700);
  EXPECT_NE(Tendency().find("in 3 hours"), std::string::npos) << Tendency();
  // 4 h 15 min since the clock was set back: an entry an hour at most, and
  // none before the clock passed the last one again.
  EXPECT_GE(history_entries, 2);
  EXPECT_LE(history_entries, 4);
  ExpectRecordWhole();
}

TEST_F(ClockJumpTest, TheClockSetForwardADay) {
  Start();
  RunFor(4 * 3600);
  double history[Tmeteo::kHistorySize];
  for (int k = 0; k < Tmeteo::kHistorySize; ++k) history[k] = Program().Wmain->meteo->GetHistory(k);
  history_entries = 0;

  clock.SetWallClockBy(86400);
  RunFor(1800);
  // One new entry, the earlier ones one place further back: the day skipped
  // is not filled with the present value.
  EXPECT_EQ(history_entries, 1);
  for (int k = 0; k + 1 < Tmeteo::kHistorySize; ++k)
    EXPECT_EQ(Program().Wmain->meteo->GetHistory(k + 1), history[k]) << k;
  // Nothing on record 3 hours ago on the clock: no change over the day.
  EXPECT_NE(Tendency().find("--  (no record around"), std::string::npos) << Tendency();
  // The record from before the jump lies a day back, outside the day shown.
  const std::time_t now = clock.Now();
  EXPECT_EQ(Program().archive->Minutes(now - 86400 + 3600, now - 1800 - 60).size(), 0u);
  ExpectRecordWhole();
}

}  // namespace

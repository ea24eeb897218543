// The storm warning on the whole program, one sample a minute in virtual
// time: a storm warns once, notifies once and clears after it; a lesser
// fall, a day of a loose cable and a change of the altitude setting warn of
// nothing; a restart during a storm shows the warning again at once.
#include <gtest/gtest.h>

#include <QLabel>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>

#include "archive/Tarchive.h"
#include "archive/Tarchive_tendency.h"
#include "fakes/ScriptedNotifier.h"
#include "fakes/UnpluggingPort.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "support_program.h"
#include "windows/Tsmall.h"

namespace {

class StormProgramTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Program().notifier = &notifier;
    module.SetFixedConditions(p_, 15);
  }
  void TearDown() override {
    ProgramTest::TearDown();
    Program().notifier = nullptr;
  }
  void Start() {
    StartMeasuringProgram();
    w = Program().Wmain;
    minute_ = (clock.Now() / 60 + 1) * 60;
    Watch();
  }
  // One sample at the next minute, at a local pressure.
  void Sample(double pressure) {
    p_ = pressure;
    module.SetFixedConditions(pressure, 15);
    minute_ += 60;
    clock.SetNow(minute_ + 5);
    w->OnTimer();
    Watch();
  }
  // `minutes` samples going evenly from the present pressure by `change`.
  void Trace(double change, int minutes) {
    const double from = p_;
    for (int m = 1; m <= minutes; ++m) Sample(from + change * m / minutes);
  }
  bool Up() const { return !w->lb_storm->isHidden(); }
  // Counts the warnings that came up, and checks the line on both windows.
  void Watch() {
    const bool up = Up();
    if (up && !was_up_) ++warnings;
    was_up_ = up;
    TWsmall* small = Program().Wsmall;
    EXPECT_EQ(small->lb_storm->isHidden(), !up);
    // The same words, the small window's broken before "since".
    EXPECT_EQ(small->lb_storm->text().replace('\n', ' '), w->lb_storm->text());
    // The line takes room of its own: the client and the small window grow.
    EXPECT_EQ(w->client->height(), up ? 418 : 396);
    EXPECT_EQ(small->height(), up ? 112 : 80);
  }
  std::string Line() const { return w->lb_storm->text().toStdString(); }

  ScriptedNotifier notifier;
  TWmain* w = nullptr;
  int warnings = 0;
  double p_ = 1000;
  std::time_t minute_ = 0;
  bool was_up_ = false;
};

// "HH:MM" of calendar second t.
std::string HourMinute(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", local.tm_hour, local.tm_min);
  return text;
}

}  // namespace

TEST_F(StormProgramTest, AStormWarnsOnceNotifiesOnceAndClearsAfterIt) {
  Start();
  Trace(0, 200);
  EXPECT_EQ(warnings, 0);
  // 6 mbar in 3 hours: the fall reaches 4.0 two hours in.
  int reached = -1;
  std::time_t reached_at = 0;
  for (int m = 1; m <= 180; ++m) {
    Sample(1000.0 - 6.0 * m / 180);
    if (Up() && reached < 0) {
      reached = m;
      reached_at = minute_;
    }
  }
  EXPECT_NEAR(reached, 120, 3);
  EXPECT_EQ(warnings, 1);
  const std::string since = " mbar in 3 h since " + HourMinute(reached_at);
  EXPECT_TRUE(QRegularExpression(QString::fromUtf8("^Storm warning: \u22126\\.[01] mbar in 3 h "))
                  .match(w->lb_storm->text())
                  .hasMatch())
      << Line();
  EXPECT_NE(Line().find(since), std::string::npos) << Line();
  ASSERT_EQ(notifier.sent.size(), 1u);
  EXPECT_EQ(notifier.sent[0].summary, "Storm warning");
  EXPECT_NE(notifier.sent[0].body.find(since), std::string::npos) << notifier.sent[0].body;
  EXPECT_EQ(notifier.sent[0].body.rfind("\u22124.", 0), 0u) << notifier.sent[0].body;

  // Steady again: the 3-hour fall shrinks below 3.0 after 90 minutes, and
  // 30 minutes later the warning is gone.
  int cleared = -1;
  for (int m = 1; m <= 160; ++m) {
    Sample(994);
    if (!Up() && cleared < 0) cleared = m;
  }
  EXPECT_NEAR(cleared, 121, 4);
  EXPECT_EQ(warnings, 1);
  EXPECT_EQ(notifier.sent.size(), 1u);
}

TEST_F(StormProgramTest, AFallOfThreeMbarInThreeHoursWarnsOfNothing) {
  Start();
  Trace(0, 200);
  Trace(-3, 180);
  Trace(0, 60);
  EXPECT_EQ(warnings, 0);
  EXPECT_TRUE(notifier.sent.empty());
  // It was read: the record's 3-hour change is the fall.
  EXPECT_NEAR(RecordTendency(Program().archive, clock.Now() - 3600).station_change, -3, 0.2);
}

TEST_F(StormProgramTest, ADayOfALooseCableWithoutAStormWarnsOfNothing) {
  // Every sequence through a cable that comes loose at random: the failed
  // samples are no data, and no reading that went wrong may look like a
  // fall.
  UnpluggingPort cable(module, port);
  program_port = &cable;
  module.SetNoiseSeed(11);
  Start();
  cable.Random(5, 200, 4000, 400, 100000);
  int failed = 0;
  for (int m = 0; m < 24 * 60; ++m) {
    Sample(1000.0 + 0.5 * std::sin(m / 200.0));
    if (!w->last_sample_good) ++failed;
  }
  EXPECT_GT(cable.EventsDone(), 100);
  EXPECT_GT(failed, 50);
  EXPECT_EQ(warnings, 0);
  EXPECT_TRUE(notifier.sent.empty());
  // The program goes before its cable.
  cable.Plug();
  EndProgramNow();
}

TEST_F(StormProgramTest, AChangeOfTheAltitudeSettingByAHundredMetresWarnsOfNothing) {
  Start();
  Trace(0, 200);
  const double sea_before = w->p_sea;
  // 100 m lower: the sea-level pressure drops by about 12 mbar at once.
  w->SetParameter(kAltitude, w->GetParameter(kAltitude) - 100);
  Trace(0, 200);
  EXPECT_LT(w->p_sea, sea_before - 11);
  // The sea-level record reads it as a fall that would have warned.
  double least = 0;
  for (int back = 0; back < 180; back += 10)
    least = std::min(least, RecordTendency(Program().archive, clock.Now() - back * 60).change);
  EXPECT_LT(least, -10);
  EXPECT_EQ(warnings, 0);
  EXPECT_TRUE(notifier.sent.empty());
}

TEST_F(StormProgramTest, ARestartDuringAStormShowsTheWarningAgainAtOnce) {
  Start();
  Trace(0, 200);
  Trace(-5, 150);  // 4.0 reached after 120 minutes
  ASSERT_TRUE(Up());
  const std::string line = Line();
  ASSERT_EQ(notifier.sent.size(), 1u);

  EndProgramNow();
  notifier.sent.clear();
  clock.SetNow(minute_ + 65);
  StartProgram();
  RunDetection();
  w = Program().Wmain;
  minute_ = clock.Now() / 60 * 60;
  // The first sample of the start brings it back, with the time it was
  // reached, and it is not notified a second time.
  EXPECT_TRUE(Up());
  EXPECT_EQ(Line().substr(Line().find(" since")), line.substr(line.find(" since")));
  EXPECT_EQ(Line().rfind("Storm warning: \u2212", 0), 0u) << Line();
  EXPECT_EQ(Program().Wsmall->lb_storm->text().replace('\n', ' '), w->lb_storm->text());
  Trace(-1, 30);
  EXPECT_TRUE(Up());
  EXPECT_TRUE(notifier.sent.empty());
}

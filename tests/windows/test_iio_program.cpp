// The whole program on an IIO sensor in virtual time: a fake bme280 whose
// values follow a slow front, one sample a minute. The record (rows of the
// IIO source without raw words, in a file of the second schema), the
// barograph and the published state carry the sensor's values; the sensor
// going away shows "--" with its reason and records nothing, and it is
// found again under another device number.
#include <QLabel>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "archive/Tarchive.h"
#include "main/Port_choice.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "publish/Mqtt_messages.h"
#include "station/Tpublisher.h"
#include "station/Tstation.h"
#include "support_program.h"
#include "tests/support/fake_iio.h"
#include "tests/support/sqlite_query.h"
#include "windows/Tbarograph.h"
#include "windows/Tintro.h"

namespace {

using namespace fake_iio;

// The front: the local pressure falls by 1 mbar an hour from 978 mbar, the
// air warms by 0.5 deg C an hour from 15 deg C.
double FrontPressure(int minute) {
  return 978 - minute / 60.0;
}
double FrontTemperature(int minute) {
  return 15 + minute / 120.0;
}

class IioProgramTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ProgramPort().iio_root = tree.Root();
    device = tree.Add(0, Bme280());
    WriteFile(PathOf("barometer.ini"), "port\tiio\niio_device\tbme280\n");
  }
  // The driver's files at minute m of the front, as the bme280 driver
  // prints them (kPa with nine decimals, milli-degrees).
  void SetFront(int m) {
    char kpa[32];
    std::snprintf(kpa, sizeof kpa, "%.9f\n", FrontPressure(m) / 10);
    Tree::Write(device + "/in_pressure_input", kpa);
    Tree::Write(device + "/in_temp_input",
                std::to_string(std::lround(FrontTemperature(m) * 1000)) + "\n");
  }
  // One sample at the next minute.
  void Minute() {
    ++minute;
    SetFront(minute);
    clock.SetNow(start + minute * 60 + 5);
    Program().Wmain->OnTimer();
    ShowLaterBoxes();
  }
  size_t Recorded() { return Program().archive->Samples(0, clock.Now() + 1).size(); }
  std::string Db() const { return PathOf("barometer.db").toStdString(); }

  QTemporaryDir sysfs;
  Tree tree{sysfs.filePath("devices").toStdString()};
  std::string device;
  std::time_t start = 0;
  int minute = 0;
};

}  // namespace

TEST_F(IioProgramTest, TheRecordBarographAndPublishedStateCarryTheSensorsValues) {
  InstallDefaultSetup();
  SetFront(0);
  StartProgram();
  RunDetection();
  EXPECT_EQ(Program().Wintro->lbstatus->text().toStdString(), "OK: IIO sensor bme280 found");
  TWmain* w = Program().Wmain;
  Tstation& station = *Program().station;
  ASSERT_EQ(station.Source()->Kind(), SampleSourceKind::kIio);
  start = (clock.Now() / 60 + 1) * 60;

  // Four hours of the front.
  for (int i = 0; i < 240; ++i) {
    Minute();
    ASSERT_TRUE(w->last_sample_good) << "minute " << minute << ": " << station.Last().reason;
  }
  const Sample& last = station.Last();
  EXPECT_EQ(last.source, SampleSourceKind::kIio);
  EXPECT_FALSE(last.d1);
  EXPECT_NEAR(w->p_local, FrontPressure(minute), 1e-6);
  EXPECT_NEAR(w->t_local, FrontTemperature(minute), 1e-6);
  EXPECT_EQ(w->lb_d1->text(), "--");

  // The published state: the sensor's values and the front's tendency.
  const TmqttState state = Tpublisher::StateOf(last);
  EXPECT_NEAR(state.pressure, FrontPressure(minute), 1e-6);
  EXPECT_NEAR(state.temperature, FrontTemperature(minute), 1e-6);
  EXPECT_NEAR(state.sea_level_pressure, w->p_sea, 1e-9);
  ASSERT_TRUE(state.tendency_3h) << state.tendency_reason;
  // Three hours of a 1 mbar an hour fall, reduced to sea level.
  EXPECT_NEAR(*state.tendency_3h, -3 * (w->p_sea / w->p_local), 0.1);
  EXPECT_NE(StateJson(state).find("\"temperature\":17"), std::string::npos) << StateJson(state);

  // The barograph reads the front from the record, minute by minute.
  w->ViewBarograph1Click();
  TWbarograph* barograph = Program().Wbarograph;
  const Tbarograph_columns& columns = barograph->columns;
  const auto& now = columns[columns.ColumnOf(last.time - last.time % 60)];
  ASSERT_GT(now.count, 0);
  EXPECT_NEAR(now.p_max, last.sea_level_pressure, 1e-6);
  EXPECT_NEAR(now.t_max, FrontTemperature(minute), 1e-6);
  const auto& earlier = columns[columns.ColumnOf(start + 60 * 60)];
  ASSERT_GT(earlier.count, 0);
  EXPECT_GT(earlier.p_min, now.p_max + 2.5);
  barograph->hide();

  // The sensor goes away (unbound): "--" with the reason, nothing recorded.
  const size_t before = Recorded();
  const std::string aside = sysfs.filePath("aside").toStdString();
  std::filesystem::rename(device, aside);
  Minute();
  EXPECT_FALSE(w->last_sample_good);
  EXPECT_EQ(w->lbpressure->text(), "--");
  EXPECT_EQ(w->lbcelsius->text(), "--");
  EXPECT_EQ(w->lbpressure->toolTip().toStdString(),
            "bme280 is gone (" + device +
                "/in_pressure_input: ENOENT (No such file or directory)); it is looked for again "
                "at the next sample");
  Minute();
  EXPECT_EQ(w->lbcelsius->toolTip().toStdString(),
            "no IIO pressure sensor named bme280 under " + tree.Root());
  EXPECT_EQ(Recorded(), before);

  // Bound again as another device: found by its name, recorded again.
  device = tree.Device(3);
  std::filesystem::rename(aside, device);
  Minute();
  EXPECT_TRUE(w->last_sample_good) << station.Last().reason;
  EXPECT_NEAR(w->p_local, FrontPressure(minute), 1e-6);
  EXPECT_EQ(w->lbpressure->toolTip(), "");
  EXPECT_EQ(Recorded(), before + 1);
  const int samples = static_cast<int>(Recorded());

  // The file as a user reads it.
  EndProgramNow();
  EXPECT_EQ(QueryText(Db(), "PRAGMA user_version"), "2");
  EXPECT_EQ(QueryText(Db(), "SELECT count(*) FROM sample"), std::to_string(samples));
  EXPECT_EQ(QueryText(Db(), "SELECT count(*) FROM sample WHERE source = 1"),
            std::to_string(samples));
  EXPECT_EQ(QueryText(Db(), "SELECT count(*) FROM sample WHERE d1 IS NOT NULL OR d2 IS NOT NULL"),
            "0");
  EXPECT_NEAR(QueryDouble(Db(), "SELECT max(pressure) FROM sample"), FrontPressure(0), 1e-6);
  EXPECT_NEAR(QueryDouble(Db(), "SELECT min(pressure) FROM sample"), FrontPressure(minute), 1e-6);
}

// barometerd's station in this process, on virtual time and the simulated
// module: the cadence, the log across an unplugged module, a record that
// fails and comes back, and the settings read again.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "archive/Tarchive.h"
#include "config/Refused_keys.h"
#include "config/Tbarometer_ini.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModuleLines.h"
#include "service/Tcadence.h"
#include "service/Tservice.h"
#include "service/Tservice_log.h"
#include "service/Tservice_loop.h"
#include "tests/support/sqlite_query.h"

#include "support_service.h"

namespace {

void WriteFile(const std::string& name, const std::string& text) {
  std::ofstream(name) << text;
}

// The service, run through its loop tick by tick.
struct InProcess : SimulatedService {
  using SimulatedService::SimulatedService;
  // Runs n ticks through the loop on the clock.
  void Run(int n) {
    Tservice_loop loop(clock, cadence, nullptr, &log, true);
    int left = n;
    loop.on_tick = [&] {
      service.Tick();
      if (--left == 0) loop.Stop();
    };
    loop.Run();
  }
  std::vector<std::string> Log() const { return Lines(LogText()); }
};

using ServiceStation = ServiceFolderTest;

}  // namespace

TEST_F(ServiceStation, SixHundredTicksAtTsOneGiveOneSampleEachSecondOnTheClock) {
  WriteFile(Path("setup.ini"), kSetup);
  InProcess s(folder, 1700000040);  // at the start of a minute
  s.service.Start();
  s.Run(600);
  EXPECT_EQ(s.service.Samples(), 600);
  s.service.Stop();
  const std::string db = Path("barometer.db");
  EXPECT_EQ(QueryNumber(db, "SELECT count(*) FROM sample"), 600);
  EXPECT_EQ(QueryNumber(db, "SELECT count(DISTINCT time) FROM sample"), 600);
  EXPECT_EQ(QueryNumber(db, "SELECT max(time) - min(time) FROM sample"), 599);
  // Ten whole minutes, each with its sixty.
  EXPECT_EQ(QueryNumber(db, "SELECT count(*) FROM minute WHERE count = 60"), 10);
}

TEST_F(ServiceStation, AnUnpluggedModuleIsLoggedOnceLostAndOnceBackAndNothingPerSample) {
  WriteFile(Path("setup.ini"), kSetup);
  InProcess s(folder);
  s.service.Start();
  s.Run(120);
  s.module.SetUnplugged(true);
  s.Run(120);
  s.module.SetUnplugged(false);
  s.Run(120);
  s.service.Stop();
  const std::vector<std::string> log = s.Log();
  ASSERT_EQ(log.size(), 5u) << s.LogText();
  EXPECT_EQ(log[0].rfind("<6>Starting on the simulated module in ", 0), 0u) << log[0];
  EXPECT_EQ(log[1], "<6>Module found on the simulated module");
  EXPECT_EQ(log[2].rfind("<4>Module lost on the simulated module: ", 0), 0u) << log[2];
  EXPECT_EQ(log[3], "<6>Module back on the simulated module");
  EXPECT_EQ(log[4], "<6>Stopping: the record is committed");
  // The readings came back by themselves.
  EXPECT_TRUE(s.service.Station().Last().good);
}

TEST_F(ServiceStation, NoModuleAtTheStartIsSaidOnceAndTheModuleIsFoundWhenItAnswers) {
  WriteFile(Path("setup.ini"), kSetup);
  InProcess s(folder);
  s.module.SetUnplugged(true);
  s.service.Start();
  s.Run(30);
  EXPECT_FALSE(s.service.Station().Last().good);
  s.module.SetUnplugged(false);
  s.Run(5);
  const std::vector<std::string> log = s.Log();
  ASSERT_EQ(log.size(), 3u) << s.LogText();
  EXPECT_EQ(log[1].rfind("<4>No module found on the simulated module: ", 0), 0u) << log[1];
  EXPECT_EQ(log[2], "<6>Module found on the simulated module");
  EXPECT_TRUE(s.service.Station().Last().good);
}

TEST_F(ServiceStation, ARecordThatCannotBeOpenedIsLoggedAndWrittenAgainOnceItCanBe) {
  WriteFile(Path("setup.ini"), kSetup);
  ASSERT_EQ(::mkdir(Path("barometer.db").c_str(), 0700), 0);  // no database can be made there
  InProcess s(folder);
  s.service.Start();
  s.Run(10);
  EXPECT_FALSE(s.service.Record().IsRecording());
  ASSERT_EQ(::rmdir(Path("barometer.db").c_str()), 0);
  s.Run(Tservice::kRecordRetrySeconds + 5);
  EXPECT_TRUE(s.service.Record().IsRecording());
  s.service.Stop();
  const std::vector<std::string> log = s.Log();
  EXPECT_EQ(CountHaving(log, "<3>The record fails: "), 1) << s.LogText();
  EXPECT_EQ(CountHaving(log, "<6>The record is written again: "), 1) << s.LogText();
  EXPECT_GT(QueryNumber(Path("barometer.db"), "SELECT count(*) FROM sample"), 0);
}

TEST_F(ServiceStation, AReloadAppliesWhatChangedAndKeepsWhatIsRefused) {
  WriteFile(Path("setup.ini"), kSetup);
  WriteFile(Path("barometer.ini"), "pressure_correction\t1.5\nstorm_threshold\t3\n");
  InProcess s(folder);
  s.service.Start();
  s.Run(5);
  Tstation& station = s.service.Station();
  ASSERT_EQ(station.GetParameter(kAltitude), 250);
  ASSERT_EQ(station.PressureCorrection(), 1.5);

  // A changed altitude is applied, and only what changed is said.
  std::string setup = kSetup;
  setup.replace(setup.find("250.000000"), 10, "412.000000");
  WriteFile(Path("setup.ini"), setup);
  s.service.Reload();
  EXPECT_EQ(station.GetParameter(kAltitude), 412);
  EXPECT_EQ(CountHaving(s.Log(), "<6>setup.ini: applied set_altitude 250 -> 412"), 1)
      << s.LogText();
  EXPECT_EQ(s.service.Record().AltitudeChangeCount(), 1u);
  s.Run(3);
  EXPECT_NEAR(station.Last().altitude, 412, 1);

  // Refused values keep those in force, and the keys are named.
  setup.replace(setup.find("412.000000"), 10, "99999.000");
  WriteFile(Path("setup.ini"), setup);
  WriteFile(Path("barometer.ini"), "pressure_correction\tabc\nstorm_threshold\t2\n");
  s.service.Reload();
  EXPECT_EQ(station.GetParameter(kAltitude), 412);
  EXPECT_EQ(station.PressureCorrection(), 1.5);
  EXPECT_EQ(station.storm.Threshold(), 2);
  const std::vector<std::string> log = s.Log();
  EXPECT_EQ(CountHaving(log,
                        "<4>setup.ini: values refused, the values in force stay in force "
                        "for: set_altitude"),
            1)
      << s.LogText();
  EXPECT_EQ(CountHaving(log,
                        "<4>barometer.ini: values refused, the values in force stay for: "
                        "pressure_correction"),
            1)
      << s.LogText();
  EXPECT_EQ(s.service.Record().AltitudeChangeCount(), 1u);

  // A file read again unchanged changes nothing and says nothing more.
  const size_t lines = s.Log().size();
  s.service.Reload();
  EXPECT_EQ(s.Log().size(), lines + 3) << s.LogText();  // read again, two refusals
}

TEST(RefusedKeys, RefusedBarometerKeysNamesEveryKeyWithAValueItsFeatureRefuses) {
  Tbarometer_ini ini;
  ini.Set("pressure_unit", "bar");
  ini.Set("pressure_correction", "25");
  ini.Set("temperature_correction", "-1.5");
  ini.Set("storm_warning", "yes");
  ini.Set("mqtt_port", "0");
  ini.Set("mqtt_interval", "60");
  ini.Set("port", "gpio");
  ini.Set("gpio_clock", "1024");
  ini.Set("ftdi_power", "-1");
  ini.Set("something_else", "x");
  const std::vector<std::string> expected = {"pressure_unit", "pressure_correction",
                                             "storm_warning", "mqtt_port", "gpio_clock"};
  EXPECT_EQ(RefusedBarometerKeys(ini), expected);
}

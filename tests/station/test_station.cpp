// The station with no window: a week on the simulated module in virtual
// time, the order of its fan-out, and what it records and publishes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "archive/Tarchive.h"
#include "atmosphere/Altitude.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "sensor/Tsensor.h"
#include "station/Tpublisher.h"
#include "station/Tstation.h"

namespace {

// Keeps what it gets, and where in the fan-out it got it.
struct Recorder : TstationSink {
  Recorder(std::vector<std::string>* order_log, std::string name)
      : log(order_log), name(std::move(name)) {}
  void OnSample(const Sample& sample) override {
    samples.push_back(sample);
    addresses.push_back(&sample);
    if (log) log->push_back(name);
  }
  std::vector<std::string>* log;
  std::string name;
  std::vector<Sample> samples;
  std::vector<const Sample*> addresses;
};

class StationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sensor.ReadCalibration();
    // A record of each test's own.
    const std::string name =
        std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".db";
    ASSERT_TRUE(archive.Open(name));
    station.UseSensor(&sensor);
    station.UseRecord(&archive);
  }
  // n ticks, one a second.
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) {
      clock.AdvanceSeconds(1);
      station.Tick();
    }
  }

  VirtualClock clock{1700000000};
  SimulatedModule module{clock, 3};
  SimulatedModulePort port{module};
  Tsensor sensor{port, clock};
  Tarchive archive{clock, nullptr};
  Tstation station{clock};
};

TEST_F(StationTest, AWeekWithAStormIsRecordedJudgedAndPublishedWithNoWindow) {
  station.SetParameter(kSamplingTs, 60);  // a sample a minute: a week runs quickly
  station.SetParameter(kAltitude, 300);
  Recorder sink(nullptr, "view");
  station.AddSink(&sink, SinkOrder::kView);

  // Two days of the simulated weather, then a front: the station pressure
  // falls 2 mbar an hour for four hours, stays down six hours, and the
  // weather goes on from there.
  constexpr int kDay = 86400;
  const std::time_t start = clock.Now();
  const std::time_t front = start + 2 * kDay;
  double front_pressure = 0, temperature = 0;
  for (std::time_t t = start + 1; t <= start + 7 * kDay; ++t) {
    clock.SetNow(t);
    if (t == front) {
      front_pressure = module.LocalPressureAt(static_cast<double>(t));
      temperature = module.TemperatureAt(static_cast<double>(t));
    }
    if (t >= front && t < front + 10 * 3600) {
      const double hours = std::min(4.0, static_cast<double>(t - front) / 3600.0);
      module.SetFixedConditions(front_pressure - 2 * hours, temperature);
    } else if (t == front + 10 * 3600) {
      module.ClearFixedConditions();
    }
    station.Tick();
  }
  archive.Flush();

  // One sample a minute, every one good, every good one on record.
  const std::vector<Sample>& samples = sink.samples;
  ASSERT_GE(samples.size(), 7u * 1440u);
  const auto good =
      std::count_if(samples.begin(), samples.end(), [](const Sample& s) { return s.good; });
  EXPECT_EQ(good, static_cast<long>(samples.size()));
  const std::vector<TarchiveSample> rows = archive.Samples(start + kDay, start + 7 * kDay + 1);
  const auto recent = std::count_if(samples.begin(), samples.end(), [&](const Sample& s) {
    return s.time >= start + kDay && s.time <= start + 7 * kDay;
  });
  EXPECT_EQ(static_cast<long>(rows.size()), recent);
  // The rows are the samples' corrected values, with the true altitude.
  const Sample& last = samples.back();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back().time, last.time);
  EXPECT_DOUBLE_EQ(rows.back().pressure, last.pressure);
  EXPECT_DOUBLE_EQ(rows.back().sea_level_pressure, last.sea_level_pressure);
  EXPECT_DOUBLE_EQ(rows.back().altitude, last.altitude);

  // The storm warning rose during the fall and cleared once the pressure
  // had stayed down; raised and cleared always alternate (the simulated
  // weather has fronts of its own too).
  std::vector<std::pair<StormEvent, std::time_t>> events;
  for (const Sample& s : samples)
    if (s.storm_event != StormEvent::kNone) events.push_back({s.storm_event, s.time});
  bool raised_in_fall = false, cleared_after = false;
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].first, i % 2 == 0 ? StormEvent::kRaised : StormEvent::kCleared);
    if (events[i].first == StormEvent::kRaised && events[i].second > front &&
        events[i].second < front + 4 * 3600 && i + 1 < events.size()) {
      raised_in_fall = true;
      cleared_after =
          events[i + 1].second > front + 4 * 3600 && events[i + 1].second < front + 10 * 3600;
    }
  }
  EXPECT_TRUE(raised_in_fall);
  EXPECT_TRUE(cleared_after);

  // What the publisher sends says the same, in the same words the windows
  // show; the tendency is there after three hours of record.
  for (const Sample& s : samples) {
    const TmqttState state = Tpublisher::StateOf(s);
    EXPECT_EQ(*state.storm_warning, s.storm_active);
    EXPECT_EQ(state.weather, WeatherText(s.weather, s.precipitation));
    EXPECT_EQ(state.altitude, s.altitude);
    if (s.time > start + 4 * 3600) {
      ASSERT_TRUE(state.tendency_3h.has_value()) << s.time;
      EXPECT_GE(state.tendency_code, 0);
      EXPECT_LE(state.tendency_code, 8);
    }
  }
  const TmqttState final_state = Tpublisher::StateOf(last);
  EXPECT_FALSE(final_state.weather.empty());
  EXPECT_FALSE(final_state.trend.empty());
  EXPECT_EQ(final_state.trend, TrendText(last.trend));

  // The minima and maxima hold every sample since the altitude was set.
  double p_min = 1e9, p_max = -1e9, t_min = 1e9, t_max = -1e9;
  for (const Sample& s : samples) {
    p_min = std::min(p_min, s.sea_level_pressure), p_max = std::max(p_max, s.sea_level_pressure);
    t_min = std::min(t_min, s.temperature), t_max = std::max(t_max, s.temperature);
  }
  EXPECT_DOUBLE_EQ(station.p_sea_min, p_min);
  EXPECT_DOUBLE_EQ(station.p_sea_max, p_max);
  EXPECT_DOUBLE_EQ(station.t_min, t_min);
  EXPECT_DOUBLE_EQ(station.t_max, t_max);
  EXPECT_LT(p_min, front_pressure + PressureFromAltitude(0) - PressureFromAltitude(300) - 7);

  // The weather follows the sea-level pressure against the limits.
  for (const Sample& s : samples) {
    if (s.sea_level_pressure > station.meteo->GetSunnyLimit() + station.meteo->GetHysteresis()) {
      EXPECT_EQ(s.weather, WeatherSunny) << s.time;
    }
    if (s.sea_level_pressure < station.meteo->GetOvercastLimit() - station.meteo->GetHysteresis()) {
      EXPECT_EQ(s.weather, WeatherPrecipitation) << s.time;
    }
  }
}

TEST_F(StationTest, EachTickOneSampleGoesToEverySinkInOrderAndTheTendencyOnceAMinute) {
  std::vector<std::string> log;
  // Registered out of order: the fan-out keeps its own.
  Recorder view(&log, "view"), publisher(&log, "publisher"), record(&log, "record"),
      storm(&log, "storm"), view2(&log, "view2");
  station.AddSink(&view, SinkOrder::kView);
  station.AddSink(&publisher, SinkOrder::kPublisher);
  station.AddSink(&record, SinkOrder::kRecord);
  station.AddSink(&view2, SinkOrder::kView);
  station.AddSink(&storm, SinkOrder::kStorm);

  Ticks(600);
  ASSERT_EQ(view.samples.size(), 600u);
  const std::vector<std::string> round = {"record", "storm", "publisher", "view", "view2"};
  std::vector<std::time_t> minutes;
  for (size_t i = 0; i < 600; ++i) {
    ASSERT_TRUE(std::equal(round.begin(), round.end(), log.begin() + 5 * i)) << i;
    // The very same record, not a copy per consumer.
    EXPECT_EQ(record.addresses[i], view2.addresses[i]);
    if (i > 0) {
      EXPECT_GT(view.samples[i].time, view.samples[i - 1].time);
    }
    const std::time_t minute = TendencyMinuteOf(view.samples[i].time);
    if (minutes.empty() || minutes.back() != minute) minutes.push_back(minute);
    // Every sample of a minute carries that minute's tendency.
    if (i > 0 && TendencyMinuteOf(view.samples[i - 1].time) == minute) {
      EXPECT_EQ(view.samples[i].tendency_reason, view.samples[i - 1].tendency_reason);
    }
  }
  // The tendency was worked out once in each minute the samples span, not
  // once per consumer.
  EXPECT_GE(minutes.size(), 10u);
  EXPECT_EQ(station.TendencyWorkouts(), static_cast<int>(minutes.size()));

  // A sink that leaves gets nothing more.
  station.RemoveSink(&view2);
  Ticks(1);
  EXPECT_EQ(view2.samples.size(), 600u);
  EXPECT_EQ(view.samples.size(), 601u);
}

TEST_F(StationTest, ASampleFromElsewhereGoesToTheViewsOnlyAndIsNeitherMeasuredNorRecorded) {
  std::vector<std::string> log;
  Recorder view(&log, "view"), publisher(&log, "publisher"), record(&log, "record");
  station.AddSink(&view, SinkOrder::kView);
  station.AddSink(&publisher, SinkOrder::kPublisher);
  station.AddSink(&record, SinkOrder::kRecord);
  const int conversions = module.ConversionCount();
  Sample s;
  s.time = clock.Now();
  s.good = true;
  s.pressure = 950.5;
  s.temperature = 12.25;
  s.sea_level_pressure = 1011.75;
  s.altitude = 540.0;
  s.weather = WeatherOvercast;
  station.DeliverFrom(s);
  s.pressure = 951.0;
  s.sea_level_pressure = 1012.5;
  station.DeliverFrom(s);
  EXPECT_EQ(log, (std::vector<std::string>{"view", "view"}));
  EXPECT_EQ(station.Last().pressure, 951.0);
  EXPECT_EQ(station.p_local, 951.0);
  EXPECT_EQ(station.p_sea, 1012.5);
  EXPECT_EQ(station.altitude, 540.0);
  EXPECT_EQ(station.Weather(), WeatherOvercast);
  EXPECT_EQ(station.p_sea_min, 1011.75);
  EXPECT_EQ(station.p_sea_max, 1012.5);
  EXPECT_EQ(module.ConversionCount(), conversions);
  archive.Flush();
  EXPECT_TRUE(archive.Samples(0, clock.Now() + 1).empty());
  // A failed one: the values in force stay, the views are told.
  Sample failed;
  failed.time = clock.Now();
  station.DeliverFrom(failed);
  EXPECT_FALSE(station.Last().good);
  EXPECT_FALSE(station.last_sample_good);
  EXPECT_EQ(station.p_local, 951.0);
  EXPECT_EQ(view.samples.size(), 3u);
}

TEST_F(StationTest, AFailedSampleSaysWhyAndIsNotRecordedAndReadingsComeBack) {
  Recorder sink(nullptr, "view");
  station.AddSink(&sink, SinkOrder::kView);
  Ticks(5);
  archive.Flush();
  const size_t rows = archive.Samples(0, clock.Now() + 1).size();
  module.SetUnplugged(true);
  Ticks(3);
  for (size_t i = sink.samples.size() - 3; i < sink.samples.size(); ++i) {
    const Sample& s = sink.samples[i];
    EXPECT_FALSE(s.good);
    EXPECT_EQ(s.failure, SampleFailure::kNoModule);
    EXPECT_FALSE(s.reason.empty());
  }
  archive.Flush();
  EXPECT_EQ(archive.Samples(0, clock.Now() + 1).size(), rows);
  module.SetUnplugged(false);
  Ticks(5);
  EXPECT_TRUE(sink.samples.back().good);
  archive.Flush();
  EXPECT_GT(archive.Samples(0, clock.Now() + 1).size(), rows);
}

TEST_F(StationTest, AnAltitudeBeyondTenKilometresIsRecordedAndPublishedAsItIs) {
  Recorder sink(nullptr, "view");
  station.AddSink(&sink, SinkOrder::kView);
  module.SetFixedConditions(1000, 10);
  Ticks(3);
  station.SetParameter(kAltitude, 9000);
  // The pressure falls as on a climb far beyond the altimeter's scale.
  for (double p = 1000; p >= 720; p -= 5) {
    module.SetFixedConditions(p, 10);
    Ticks(2);
  }
  archive.Flush();
  const Sample& last = sink.samples.back();
  ASSERT_TRUE(last.good);
  EXPECT_GT(last.altitude, 10000);
  const std::vector<TarchiveSample> rows = archive.Samples(0, clock.Now() + 1);
  ASSERT_FALSE(rows.empty());
  EXPECT_DOUBLE_EQ(rows.back().altitude, last.altitude);
  EXPECT_DOUBLE_EQ(Tpublisher::StateOf(last).altitude, last.altitude);
  EXPECT_DOUBLE_EQ(station.alt_max, last.altitude);
}

}  // namespace

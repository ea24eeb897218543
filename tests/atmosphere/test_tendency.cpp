#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "atmosphere/Tendency.h"

namespace {

// A three-hour pressure trace as a forecaster would sketch it: the change
// over the first 90 minutes and over the last 90, from 1013.0 mbar.
struct Trace {
  const char* shape;
  double first_half;
  double second_half;
  int code;
};

int CodeOf(const Trace& t) {
  const double p_180 = 1013.0;
  return TendencyCharacteristic(p_180, p_180 + t.first_half, p_180 + t.first_half + t.second_half);
}

}  // namespace

TEST(Tendency, EveryCodeFromATraceBuiltForIt) {
  const Trace traces[] = {
      {"up then down, ending higher", 1.5, -0.6, 0},
      {"up then down, back where it was", 0.8, -0.8, 0},
      {"up then level", 1.2, 0.1, 1},
      {"up, then up more slowly", 1.2, 0.5, 1},
      {"up evenly", 0.6, 0.7, 2},
      {"up, level halves that add to a rise", 0.08, 0.08, 2},
      {"level then up", 0.0, 0.9, 3},
      {"down then up, ending higher", -0.4, 1.1, 3},
      {"up, then up more rapidly", 0.2, 0.9, 3},
      {"level", 0.04, -0.03, 4},
      {"level halves that nearly cancel", 0.1, -0.1, 4},
      {"down then up, back where it was", -0.7, 0.7, 5},
      {"down then up, ending lower", -1.5, 0.6, 5},
      {"down then level", -1.2, -0.1, 6},
      {"down, then down more slowly", -1.2, -0.5, 6},
      {"down evenly", -0.6, -0.7, 7},
      {"level then down", 0.0, -0.9, 8},
      {"up then down, ending lower", 0.4, -1.1, 8},
      {"down, then down more rapidly", -0.2, -0.9, 8},
  };
  for (const Trace& t : traces) EXPECT_EQ(CodeOf(t), t.code) << t.shape;
}

TEST(Tendency, LimitsOfSteadyAndOfTheSame) {
  // A half within +-0.1 mbar is steady, limits included, whatever the
  // decimals of the pressures do in binary.
  EXPECT_EQ(TendencyCharacteristic(1013.0, 1013.1, 1013.6), 3);    // a steady, b rises
  EXPECT_EQ(TendencyCharacteristic(1013.0, 1013.11, 1013.26), 2);  // both rise about evenly
  // c = 0.05 rounds to 0.1: higher; 0.04 rounds to 0.0: the same.
  EXPECT_EQ(TendencyCharacteristic(1013.0, 1013.5, 1013.05), 0);
  EXPECT_EQ(TendencyCharacteristic(1013.0, 1013.5, 1013.04), 0);
  EXPECT_EQ(TendencyCharacteristic(1013.0, 1013.02, 1013.05), 2);
  EXPECT_EQ(TendencyCharacteristic(1013.0, 1013.02, 1013.04), 4);
  // b exactly half and exactly twice a: neither "slower" nor "more rapidly".
  EXPECT_EQ(TendencyCharacteristic(1000.0, 1001.0, 1001.5), 2);
  EXPECT_EQ(TendencyCharacteristic(1000.0, 1001.0, 1003.0), 2);
}

TEST(Tendency, NoCharacteristicWithoutThreeNumbers) {
  EXPECT_EQ(TendencyCharacteristic(NAN, 1013.0, 1013.0), -1);
  EXPECT_EQ(TendencyCharacteristic(1013.0, INFINITY, 1013.0), -1);
  EXPECT_STREQ(TendencyWords(-1), "");
  EXPECT_STREQ(TendencyWords(9), "");
  EXPECT_STREQ(TendencyWords(2), "Increasing, steadily or unsteadily");
  EXPECT_STREQ(TendencyWords(4), "Steady");
  EXPECT_STREQ(TendencyWords(7), "Decreasing, steadily or unsteadily");
}

namespace {

// A record of minute means in memory, nearest-minute lookup as the archive
// does it (on a tie, the earlier minute).
struct MinuteRecord {
  std::map<std::time_t, TendencyMeans> minutes;

  void Add(std::time_t t, double sea_level, double local) {
    minutes[t] = TendencyMeans{t, sea_level, local};
  }
  TendencyRecord Record() const {
    TendencyRecord r;
    r.nearest_minute = [this](std::time_t t, int within) -> std::optional<TendencyMeans> {
      std::optional<TendencyMeans> best;
      for (const auto& [time, m] : minutes) {
        const long long d = std::llabs(static_cast<long long>(time - t));
        if (d <= within && (!best || d < std::llabs(static_cast<long long>(best->time - t))))
          best = m;
      }
      return best;
    };
    r.first_minute = [this]() -> std::optional<std::time_t> {
      if (minutes.empty()) return std::nullopt;
      return minutes.begin()->first;
    };
    return r;
  }
};

}  // namespace

TEST(Tendency, TheRecordsTendencyAndWhyItReadsNothing) {
  const std::time_t now = 1'800'000'000 + 59;  // the last second of its minute
  const std::time_t minute = now - 59;
  EXPECT_EQ(TendencyMinuteOf(now), minute);
  EXPECT_EQ(TendencyMinuteOf(-1), -60);

  MinuteRecord rec;
  EXPECT_EQ(TendencyOf(TendencyRecord{}, now).gap, TendencyGap::NoRecord);
  EXPECT_EQ(TendencyOf(rec.Record(), now).gap, TendencyGap::NothingRecent);

  // Ten minutes old still stands for now; eleven do not.
  rec.Add(minute - 660, 1000.0, 990.0);
  EXPECT_EQ(TendencyOf(rec.Record(), now).gap, TendencyGap::NothingRecent);
  rec.Add(minute - 600, 1000.0, 990.0);
  ThreeHourTendency t = TendencyOf(rec.Record(), now);
  EXPECT_EQ(t.gap, TendencyGap::ShortRecord);
  EXPECT_EQ(t.at, minute - 660);
  EXPECT_FALSE(t.HasChange());

  // A record that began long ago but has a gap three hours back.
  rec.Add(minute - 5 * 3600, 1000.0, 990.0);
  t = TendencyOf(rec.Record(), now);
  EXPECT_EQ(t.gap, TendencyGap::NoStart);
  EXPECT_EQ(t.at, minute - kTendencySpan);

  // The minute 3 h 10 min back stands for 3 h; the middle is missing.
  rec.Add(minute - kTendencySpan - 600, 1004.0, 994.5);
  t = TendencyOf(rec.Record(), now);
  EXPECT_EQ(t.gap, TendencyGap::NoMiddle);
  EXPECT_TRUE(t.HasChange());
  EXPECT_DOUBLE_EQ(t.change, -4.0);
  EXPECT_DOUBLE_EQ(t.station_change, -4.5);
  EXPECT_EQ(t.code, -1);

  // With the middle, the characteristic of the sea-level means.
  rec.Add(minute - kTendencyHalf + 300, 1001.0, 991.0);
  t = TendencyOf(rec.Record(), now);
  EXPECT_EQ(t.gap, TendencyGap::None);
  EXPECT_EQ(t.code, TendencyCharacteristic(1004.0, 1001.0, 1000.0));
  EXPECT_EQ(t.minute, minute);
}

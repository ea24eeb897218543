#include "components/Axis_ticks.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace {

// Time steps in seconds, from the finest: whole seconds, minutes, hours
// and days of the clock.
constexpr long long kTimeSteps[] = {
    1,     2,     5,         10,        15,         30,         60,          120,
    300,   600,   900,       1800,      3600,       7200,       10800,       21600,
    43200, 86400, 2 * 86400, 5 * 86400, 10 * 86400, 30 * 86400, 100 * 86400, 365 * 86400};

// How many whole multiples of step lie within [low, high].
long long TickCount(double low, double high, double step) {
  return static_cast<long long>(std::floor(high / step) - std::ceil(low / step)) + 1;
}

// Whole multiples k of a step written as a mantissa and a power of ten,
// computed so that a decimal step gives the double nearest the decimal
// (0.1 * 3 would give 0.30000000000000004).
double Multiple(double k, double mantissa, int exponent) {
  return exponent >= 0 ? k * mantissa * std::pow(10.0, exponent)
                       : k * mantissa / std::pow(10.0, -exponent);
}

}  // namespace

double Taxis_ticks::ValueStep(double low, double high, int most, double least) {
  most = std::max(most, 1);
  if (!(least > 0) || !std::isfinite(least)) least = kLeastValueStep;
  const double span = high - low;
  if (!std::isfinite(low) || !std::isfinite(high) || !std::isfinite(span) || !(span > 0))
    return 0.0;
  int exponent = static_cast<int>(std::floor(std::log10(std::max(span / most, least))));
  for (;; ++exponent) {
    for (double mantissa : {1.0, 2.0, 5.0}) {
      const double step = Multiple(1, mantissa, exponent);
      if (step >= least * (1 - 1e-9) && TickCount(low, high, step) <= most) return step;
    }
  }
}

std::vector<double> Taxis_ticks::Values(double low, double high, int most, double least) {
  if (!std::isfinite(low) || !std::isfinite(high)) return {};
  if (low == high) return {low};
  if (low > high) std::swap(low, high);
  const double step = ValueStep(low, high, most, least);
  if (!(step > 0)) return {};
  // The step as mantissa and power of ten, for exact decimals.
  const int exponent = static_cast<int>(std::floor(std::log10(step) + 1e-9));
  const double mantissa = std::round(step / std::pow(10.0, exponent));
  std::vector<double> ticks;
  for (double k = std::ceil(low / step); k <= std::floor(high / step); ++k) {
    const double v = Multiple(k, mantissa, exponent);
    if (v >= low - step * 1e-9 && v <= high + step * 1e-9) ticks.push_back(v);
  }
  // A span narrower than the least step may hold no round value: its low
  // end is its one tick then, so the axis still reads.
  if (ticks.empty()) ticks.push_back(low);
  return ticks;
}

double Taxis_ticks::LeastStep(int decimals) {
  return std::min(kLeastValueStep, std::pow(10.0, -decimals));
}

int Taxis_ticks::Decimals(double step) {
  if (!(step > 0) || !std::isfinite(step)) return 2;
  const int exponent = static_cast<int>(std::floor(std::log10(step) + 1e-9));
  return exponent < 0 ? -exponent : 0;
}

long long Taxis_ticks::TimeStep(double first, double last, int most, long utc_offset) {
  most = std::max(most, 1);
  // Beyond a few thousand years no step of the clock means anything.
  constexpr double kLongest = 1e11;
  if (!std::isfinite(first) || !std::isfinite(last) || !(last > first) ||
      !(last - first < kLongest))
    return 0;
  for (long long step : kTimeSteps)
    if (TickCount(first + utc_offset, last + utc_offset, static_cast<double>(step)) <= most)
      return step;
  return 0;
}

std::vector<double> Taxis_ticks::Times(double first, double last, int most, long utc_offset) {
  if (first == last && std::isfinite(first)) {
    // One moment: its tick if it falls on a whole second.
    return first == std::floor(first) ? std::vector<double>{first} : std::vector<double>{};
  }
  if (first > last) std::swap(first, last);
  const long long step = TimeStep(first, last, most, utc_offset);
  if (step == 0) return {};
  // In local time the ticks are multiples of the step; shifted back by the
  // offset they are calendar seconds again.
  const double s = static_cast<double>(step);
  std::vector<double> ticks;
  for (double k = std::ceil((first + utc_offset) / s); k * s - utc_offset <= last; ++k)
    ticks.push_back(k * s - utc_offset);
  return ticks;
}

long Taxis_ticks::UtcOffset(double t) {
  constexpr double kLimit = 1e17;
  if (!(t > -kLimit && t < kLimit)) return 0;
  const auto seconds = static_cast<std::time_t>(t);
  std::tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return 0;
  return local.tm_gmtoff;
}

// The settings-file loader on arbitrary bytes, in the running program. What
// a file loads keeps the settings dialog's rules, and saves back and loads
// again, from the start settings, to the very same values and without a
// box; a file shows one box at most, and no file leaves the readings
// unshown.
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/Setting_rules.h"
#include "fuzz/FuzzProgram.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "sensor/Tsensor.h"

namespace {

void Fail(const char* what, int index = 0, double loaded = 0, double again = 0) {
  std::fprintf(stderr, "%s (index %d: %.17g, then %.17g)\n", what, index, loaded, again);
  std::abort();
}

// Loads a file as the program does, with the box that follows the loading.
void Load(TWmain* w, const std::string& path) {
  w->LoadSettings(path);
  QCoreApplication::sendPostedEvents(w, QEvent::MetaCall);
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RestartFuzzProgram(data, size);
  TWmain* w = Program().Wmain;
  Load(w, WriteScratchFile("input.ini", data, size));
  // A readable file says at most that it holds no settings, or which of
  // them were refused.
  const auto& calls = FuzzDialogs().calls;
  if (calls.size() > 1) Fail("loading a readable file showed more than one box");
  if (calls.size() == 1 &&
      !(calls[0].kind == ScriptedDialogs::Kind::Error &&
        (Contains(calls[0].text, " holds no settings.") ||
         Contains(calls[0].text, " that the settings dialog would refuse were not taken: "))))
    Fail("loading a readable file showed another box");
  const std::array<double, 17> loaded = StoredSettings();
  using namespace setting_rules;
  const double n = loaded[kSamplingN];
  const double ts = loaded[kSamplingTs];
  if (!SampleCountAllowed(n)) Fail("n refused by the dialog's rules", kSamplingN, n, n);
  if (!SequenceIntervalAllowed(ts)) Fail("ts refused by the dialog's rules", kSamplingTs, ts, ts);
  if (!SamplingAllowed(n, ts)) Fail("n and ts refused by the dialog's rules", kSamplingTs, n, ts);
  if (!AltitudeAllowed(loaded[kAltitude]))
    Fail("altitude refused by the dialog's rules", kAltitude, loaded[kAltitude]);
  if (!WeatherLimitsAllowed(loaded[kSunnyLimit], loaded[kVariableLimit], loaded[kOvercastLimit]))
    Fail("weather limits out of order", kSunnyLimit, loaded[kSunnyLimit], loaded[kOvercastLimit]);
  if (!HysteresisAllowed(loaded[kHysteresis]))
    Fail("hysteresis refused by the dialog's rules", kHysteresis, loaded[kHysteresis]);
  if (!TrendRatesAllowed(loaded[kQuickDownRate], loaded[kSlowDownRate], loaded[kQuickUpRate],
                         loaded[kSlowUpRate]))
    Fail("trend rates out of order", kQuickDownRate, loaded[kQuickDownRate], loaded[kQuickUpRate]);
  FuzzDialogs().calls.clear();

  // A sequence now: the readings show, whatever the file held.
  Program().sensor->SetSequenceInterval(1);
  FuzzMeasureTicks(1);
  if (w->lbpressure->text() == "--") Fail("no reading shown after loading");
  Program().sensor->SetSequenceInterval(loaded[kSamplingTs]);

  const std::string saved_path = ScratchPath("saved.ini");
  w->SaveSettings(saved_path);
  if (!FuzzDialogs().calls.empty()) Fail("saving showed a box");
  const std::string saved = ReadScratchFile(saved_path);

  RestartFuzzProgram(data, size);
  Load(w, saved_path);
  if (!FuzzDialogs().calls.empty()) Fail("loading a file the program saved showed a box");
  const std::array<double, 17> again = StoredSettings();
  bool all_finite = true;
  for (int index = 1; index <= 16; ++index) {
    // Infinity is no number the file holds: it does not come back.
    if (!std::isfinite(loaded[index])) {
      all_finite = false;
      continue;
    }
    if (loaded[index] != again[index])
      Fail("value changed by the round trip", index, loaded[index], again[index]);
  }
  if (all_finite) {
    w->SaveSettings(saved_path);
    if (ReadScratchFile(saved_path) != saved) Fail("second save differs from the first");
  }
  return 0;
}

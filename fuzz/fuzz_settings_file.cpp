// The settings-file loader on arbitrary bytes, in the running program. What
// a file loads must save back and load again, from the start settings, to
// the very same values; no file leaves the readings unshown.
#include <QLabel>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzProgram.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "sensor/Tsensor.h"

namespace {

void Fail(const char* what, int index = 0, double loaded = 0, double again = 0) {
  std::fprintf(stderr, "%s (index %d: %.17g, then %.17g)\n", what, index, loaded, again);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RestartFuzzProgram(data, size);
  TWmain* w = Program().Wmain;
  w->LoadSettings(WriteScratchFile("input.ini", data, size));
  if (!FuzzDialogs().calls.empty()) Fail("loading a readable file showed a box");
  const std::array<double, 17> loaded = StoredSettings();
  const double n = loaded[kSamplingN];
  if (!(n >= 1 && n <= 100)) Fail("n outside 1..100", kSamplingN, n, n);

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
  w->LoadSettings(saved_path);
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

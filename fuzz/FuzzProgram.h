#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fakes/ScriptedDialogs.h"

// The whole program on the simulated module, in virtual time, with scripted
// dialogs and offscreen windows, for the fuzz targets that drive it. It is
// started once per process, with a scratch folder of its own that is removed
// at exit, and every input starts again from the start settings.

// Starts the program on first use (the module detected, the main window
// measuring) and puts every setting back to its start value. The simulated
// module's atmosphere stands still and its noise starts again from the
// input's bytes, and the clock moves on past the sensor's memory of recent
// samples: what an input shows depends on the input alone, so a finding is
// the same when the input runs by itself.
void RestartFuzzProgram(const uint8_t* data, size_t size);

// The dialogs every window reaches; the recorded calls are cleared by
// RestartFuzzProgram.
ScriptedDialogs& FuzzDialogs();

// n ticks of the measurement timer, one second apart.
void FuzzMeasureTicks(int n);

// The path of a file in the scratch folder.
std::string ScratchPath(const char* name);
// Writes bytes to a file of the scratch folder; its path.
std::string WriteScratchFile(const char* name, const uint8_t* data, size_t size);
// The whole file at a path.
std::string ReadScratchFile(const std::string& path);

// Every setting that the settings file holds, by index (8 and 0 unused).
std::array<double, 17> StoredSettings();

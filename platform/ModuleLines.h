#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The module's wires as the PC drives and reads them, whatever connects
// them: a clock and a data line to the module, the module's power, and the
// module's data line back. The serial link (sensor/Tserial_link.h) talks to
// the module only through this, so that the same protocol runs over a
// parallel port, a gpiochip, a USB bit-bang adapter or the simulated module.
class ModuleLines {
 public:
  // One step of an exchange: either the three outputs driven to the given
  // levels, or the module's data line sampled.
  struct Step {
    bool sample = false;
    bool clock = false;
    bool data = false;
    bool power = false;
  };

  virtual ~ModuleLines() = default;

  // Drives the outputs at once; the next step sees the new levels.
  virtual void Drive(bool clock, bool data, bool power) = 0;
  // The module's data line now.
  virtual bool Sample() = 0;
  // Runs the steps in order and appends the level of each sample step to
  // `samples`. The result is the same as Drive and Sample called one by one;
  // a backend that pays for each trip to the wires (USB) does the whole
  // exchange in one.
  virtual void Exchange(const std::vector<Step>& steps, std::vector<uint8_t>* samples);

  // What the module is wired to, in plain words ("parallel port (ppdev on
  // /dev/parport0)"), for the debug window and the failure messages.
  virtual std::string Describe() const = 0;
};

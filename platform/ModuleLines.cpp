#include "platform/ModuleLines.h"

void ModuleLines::Exchange(const std::vector<Step>& steps, std::vector<uint8_t>* samples) {
  for (const Step& step : steps) {
    if (step.sample) {
      const bool level = Sample();
      if (samples != nullptr) samples->push_back(level ? 1 : 0);
    } else {
      Drive(step.clock, step.data, step.power);
    }
  }
}

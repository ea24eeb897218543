#include "station/Tdetection.h"

#include "sensor/Tsample_source.h"

void Tdetection::Start() {
  Step = 0;
  ModuleMissing = false;
  why.clear();
}

Tdetection::Action Tdetection::Advance(Tsample_source* source) {
  switch (Step++) {
    case 0:
      return Action::kShow;
    case 1:
      why.clear();
      ModuleMissing = source == nullptr || !source->Detect(&why);
      return Action::kSearched;
    case 2:
      return ModuleMissing ? Action::kMissing : Action::kFound;
    case 3:
      return Action::kHandOver;
    default:
      return Action::kIdle;
  }
}

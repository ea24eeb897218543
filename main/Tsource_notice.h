#pragma once

#include <QString>

#include "station/Tstation.h"

// Why a sample of a source other than the module failed, where the reader
// looks: the main window's "--" readouts tell it when the pointer rests on
// them, until the next good sample. The module's samples are left as they
// have always been shown.
class Tsource_notice : public TstationSink {
 public:
  void OnSample(const Sample& sample) override;
  // Takes the words away (the module is read again).
  void Clear();

 private:
  void Show(const QString& text);
  bool shown_ = false;
};

// Every text field of the settings dialog and of the range dialog typed
// through its handler, then OK, in the running program; then a few
// measurements drawn with what was accepted.
//
// Input: one byte of switches (bit 0: the answer to the n/ts question,
// bits 1 to 3: the range dialog's autoscale boxes, bit 4: the altimeter
// view), then the fields' texts, one a line, in the order of kFields.
#include <QCheckBox>
#include <QLineEdit>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "chart/Tchart.h"
#include "chart/Tchart_settings.h"
#include "fuzz/FuzzProgram.h"
#include "main/Program.h"
#include "settings/Tsettings.h"

namespace {

struct SettingsField {
  QLineEdit* TWsettings::*edit;
  void (TWsettings::*typed)();  // its handler, or none
};

const SettingsField kFields[] = {
    {&TWsettings::ed_n, nullptr},
    {&TWsettings::ed_tsd, &TWsettings::OnExittsd},
    {&TWsettings::ed_tsh, &TWsettings::OnExittsh},
    {&TWsettings::ed_tsm, &TWsettings::OnExittsm},
    {&TWsettings::ed_tss, &TWsettings::OnExittss},
    {&TWsettings::ed_alti, &TWsettings::OnKeyUpAlti},
    {&TWsettings::ed_altifeet, &TWsettings::OnKeyUpAltiFeet},
    {&TWsettings::ed_w1, &TWsettings::OnKeyUpW1},
    {&TWsettings::ed_w2, &TWsettings::OnKeyUpW2},
    {&TWsettings::ed_w3, &TWsettings::OnKeyUpW3},
    {&TWsettings::ed_w4, &TWsettings::OnKeyUpW4},
    {&TWsettings::ed_c1, &TWsettings::OnKeyUpC1},
    {&TWsettings::ed_c2, &TWsettings::OnKeyUpC2},
    {&TWsettings::ed_c3, &TWsettings::OnKeyUpC3},
    {&TWsettings::ed_c4, &TWsettings::OnKeyUpC4},
    {&TWsettings::ed_c5, &TWsettings::OnKeyUpC5},
    {&TWsettings::ed_c6, &TWsettings::OnKeyUpC6},
    {&TWsettings::ed_sunny, nullptr},
    {&TWsettings::ed_variable, nullptr},
    {&TWsettings::ed_overcast, nullptr},
    {&TWsettings::ed_hysteresis, nullptr},
    {&TWsettings::ed_quick_down, nullptr},
    {&TWsettings::ed_slow_down, nullptr},
    {&TWsettings::ed_quick_up, nullptr},
    {&TWsettings::ed_slow_up, nullptr},
};

QLineEdit* TWrange::*const kRangeFields[] = {&TWrange::ed_ph, &TWrange::ed_pl, &TWrange::ed_ah,
                                             &TWrange::ed_al, &TWrange::ed_th, &TWrange::ed_tl};

std::vector<QString> Lines(const uint8_t* data, size_t size) {
  std::vector<QString> lines;
  size_t start = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == '\n') {
      lines.push_back(QString::fromUtf8(reinterpret_cast<const char*>(data) + start,
                                        static_cast<qsizetype>(i - start)));
      start = i + 1;
    }
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  RestartFuzzProgram(data, size);
  const uint8_t switches = data[0];
  const std::vector<QString> lines = Lines(data + 1, size - 1);
  size_t line = 0;

  TWsettings* settings = Program().Wsettings;
  settings->OnShow();
  for (const SettingsField& field : kFields) {
    if (line >= lines.size()) break;
    (settings->*field.edit)->setText(lines[line++]);
    if (field.typed) (settings->*field.typed)();
  }
  FuzzDialogs().confirm_answers.push_back((switches & 1) != 0);
  settings->bt_okClick();

  TWchart* chart = Program().Wchart;
  if (!chart->isVisible()) chart->show();
  chart->View = (switches & 16) != 0 ? 1 : 0;
  TWrange* range = Program().Wrange;
  range->SetPressureAutoscale((switches & 2) != 0);
  range->SetAltitudeAutoscale((switches & 4) != 0);
  range->SetTemperatureAutoscale((switches & 8) != 0);
  for (QLineEdit* TWrange::*field : kRangeFields) {
    if (line >= lines.size()) break;
    (range->*field)->setText(lines[line++]);
  }
  range->OnKeyDown(13);  // Enter in a field: OK

  FuzzMeasureTicks(3);
  return 0;
}

#include "main/Tsource_notice.h"

#include <QLabel>
#include <QString>

#include "main/Program.h"
#include "main/Tmain.h"

void Tsource_notice::OnSample(const Sample& sample) {
  if (sample.source == SampleSourceKind::kModule) {
    Clear();
    return;
  }
  if (sample.good)
    Clear();
  else
    Show(QString::fromStdString(sample.reason.empty() ? "no reading" : sample.reason));
}

void Tsource_notice::Clear() {
  if (shown_) Show(QString());
  shown_ = false;
}

void Tsource_notice::Show(const QString& text) {
  ProgramState& program = Program();
  if (program.Wmain == nullptr || !program.Wmain_alive) return;
  TWmain* w = program.Wmain;
  for (QLabel* label : {w->lbpressure, w->lbpresssea, w->lbcelsius, w->lbfarenheit})
    if (label != nullptr) label->setToolTip(text);
  shown_ = !text.isEmpty();
}

// The simulated program, which a test starts as a child: once it records,
// it opens every file dialog of the program in its folder, cancels each,
// writes how many into "dialogs-done", and measures on until it is killed.

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <memory>

#include "archive/Tarchive.h"
#include "components/QtDialogs.h"
#include "main/Entry.h"
#include "main/Program.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModuleLines.h"
#include "record_dialogs.h"

namespace {

void OpenEveryDialogOnceRecording() {
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  auto* wait = new QTimer(qApp);
  QObject::connect(wait, &QTimer::timeout, qApp, [wait] {
    ProgramState& program = Program();
    if (!program.Wmain_alive || program.archive == nullptr || program.archive->Revision() < 3)
      return;
    wait->stop();
    wait->deleteLater();
    FileDialogCanceller canceller;
    for (const ProgramFileDialog& dialog : EveryFileDialog()) dialog.open();
    QFile done("dialogs-done");
    if (done.open(QIODevice::WriteOnly))
      done.write(QByteArray::number(canceller.Cancelled()) + " " +
                 QByteArray::number(canceller.BoxesClosed()) + "\n");
  });
  wait->start(200);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(OpenEveryDialogOnceRecording)

int main(int argc, char** argv) {
  SystemClock clock;
  SimulatedModule module(clock, 1);
  SimulatedModuleLines lines(module);
  QtDialogs dialogs;
  return RunProgram(argc, argv, lines, clock, dialogs);
}

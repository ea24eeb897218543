#include "main/Signal_close.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#ifndef QT_NO_SESSIONMANAGER
#include <QSessionManager>
#endif

#include "main/Program.h"
#include "main/Tmain.h"

namespace {

// The pipe's ends; the write end is all the handler touches.
int read_end = -1;
volatile sig_atomic_t write_end = -1;

QSocketNotifier* notifier = nullptr;
QMetaObject::Connection commit_data;
// The handlers are in place and the pipe holds only this run's requests.
bool caught = false;

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void WakeOnSignal(int) {
  // write() is safe in a handler; errno is put back for the code the signal
  // interrupted. A full pipe (signals faster than the loop reads them) loses
  // nothing: one byte is as good as many.
  const int saved = errno;
  const char byte = 1;
  const ssize_t written = write(write_end, &byte, 1);
  (void)written;
  errno = saved;
}

bool MakePipe() {
  if (read_end >= 0) return true;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  read_end = ends[0];
  write_end = ends[1];
  return true;
}

void Drain() {
  char bytes[64];
  while (read(read_end, bytes, sizeof bytes) > 0) {
  }
}

}  // namespace

bool CatchStopSignals() {
  if (!MakePipe()) return false;
  struct sigaction action = {};
  action.sa_handler = WakeOnSignal;
  sigemptyset(&action.sa_mask);
  // System calls the signal interrupts go on, so that no read or write of
  // the program fails with EINTR because of it.
  action.sa_flags = SA_RESTART;
  for (int signal_number : kSignals) sigaction(signal_number, &action, nullptr);
  // A file-size limit makes a write fail (EFBIG), told as any failed write,
  // instead of ending the program.
  signal(SIGXFSZ, SIG_IGN);
  Drain();  // a signal of an earlier run in this process is no request now
  caught = true;
  return true;
}

bool InstallSignalClose() {
  if (!caught && !CatchStopSignals()) return false;
  RemoveSignalClose();
  notifier = new QSocketNotifier(read_end, QSocketNotifier::Read);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
    Drain();
    CloseOnRequest();
  });
#ifndef QT_NO_SESSIONMANAGER
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    commit_data = QObject::connect(app, &QGuiApplication::commitDataRequest, app,
                                   [](QSessionManager&) { CloseOnRequest(); });
#endif
  return true;
}

void RemoveSignalClose() {
  caught = false;
  delete notifier;
  notifier = nullptr;
  QObject::disconnect(commit_data);
  commit_data = QMetaObject::Connection();
}

void CloseOnRequest() {
  ProgramState& program = Program();
  if (program.closing) {
    // The close runs already; if it waits in a box (a settings file that
    // could not be written), that box ends and the close goes on.
    TerminateApplication();
    return;
  }
  if (program.Wmain != nullptr && program.Wmain_alive) {
    program.Wmain->CloseWithoutQuestion();
    return;
  }
  // No main window to save the settings from: the loop ends all the same.
  program.closing = true;
  TerminateApplication();
}

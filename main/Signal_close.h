#pragma once

// A clean end when the program is told to stop from outside: SIGTERM (a
// logout, a service stop, kill), SIGHUP (the terminal went), SIGINT (Ctrl-C)
// and the session manager's request to commit data before a logout. Each is
// the confirmed close without the question: the record committed, the
// settings saved when autosave is on, the event loop ended, and then the
// normal shut-down of the entry closes the data log. The exit status is 0,
// or 1 when the settings could not be saved (said on standard error).
//
// A signal handler may do almost nothing safely, so it only writes one byte
// to a pipe; a socket notifier on the pipe's other end runs the close in the
// event loop. A signal that comes while the close runs never begins it
// again: after the event loop nothing reads the pipe any more, and the close
// goes on to its end.

// Catches the stop signals from the very start of the program, before any
// settings file is read: a signal that comes before the event loop runs
// waits in the pipe and closes the program as soon as the loop reads it. A
// signal of an earlier run in this process is dropped.
bool CatchStopSignals();
// Installs the handlers (unless CatchStopSignals did since the last
// RemoveSignalClose) and the notifier for the running application; call
// it once the application object exists. The handlers stay for the rest of
// the process. False when the pipe could not be made (the signals then end
// the program as before).
bool InstallSignalClose();
// Removes the notifier and the session manager's connection; before the
// application object goes.
void RemoveSignalClose();

// What a signal or the commit-data request leads to: the close without the
// question. When the program is closing already, only the event loops end
// again, so that a box the close waits for cannot hold it up.
void CloseOnRequest();

// A clean end when the program is told to stop from outside: each of the
// stop signals to a real simulated program, and in-process the same close
// with a data log open and the session manager's request.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "archive/Tarchive.h"
#include "chart/Tchart.h"
#include "main/Program.h"
#include "main/Signal_close.h"
#include "main/Tmain.h"
#include "support_program.h"
#include "tests/support/sqlite_query.h"

namespace {

class SignalCloseTest : public ProgramTest {
 protected:
  std::string Db() const { return PathOf("barometer.db").toStdString(); }
  long long Samples() const { return QueryNumber(Db(), "SELECT count(*) FROM sample"); }

  // setup.ini as shipped, with the altitude written as the program never
  // writes it: a saved file reads "250.000000".
  void InstallSetupToBeSaved() {
    InstallDefaultSetup();
    std::string text = ReadFile(PathOf("setup.ini"));
    const std::string key = "set_altitude\t250.000000";
    text.replace(text.find(key), key.size(), "set_altitude\t250");
    WriteFile(PathOf("setup.ini"), text);
  }

  // A simulated program in the working folder, measuring and recording,
  // told to stop by `stops` (one after the other) a few seconds after a
  // batch went in, so that the record has samples still to commit.
  void RemoveFiles() {
    for (const char* name :
         {"barometer.db", "barometer.db-wal", "barometer.db-shm", "setup.ini", "log.dat"})
      QFile::remove(PathOf(name));
  }

  // False when the run could not tell: no sample was taken between the last
  // batch and the signal (a loaded machine can hold the child up that long),
  // so there was nothing left for the close to commit.
  bool RunAndSignal(const std::vector<int>& stops) {
    // Each run records on into the same file, as a program started again
    // does: a record deleted and made anew under the same name between two
    // runs is no case of the close, and every check below is of this run.
    QFile::remove(PathOf("setup.ini"));
    InstallSetupToBeSaved();
    QProcess child;
    child.setWorkingDirectory(PathOf(""));
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(BAROMETER_SIM, {});
    EXPECT_TRUE(child.waitForStarted());
    // This run's first samples in the file (none of an earlier run count).
    const long long at_start = std::max(Samples(), 0LL);
    for (int i = 0; i < 1200 && Samples() < at_start + 8; ++i) QThread::msleep(100);
    EXPECT_GE(Samples(), at_start + 8) << QueryText(Db(), "SELECT count(*) FROM sample");
    const long long before = Samples();
    for (int i = 0; i < 600 && Samples() == before; ++i) QThread::msleep(50);
    QThread::msleep(2500);
    const long long committed = Samples();
    const std::time_t signalled = std::time(nullptr);
    for (int signal_number : stops) ::kill(static_cast<pid_t>(child.processId()), signal_number);
    EXPECT_TRUE(child.waitForFinished(120000));

    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(QueryText(Db(), "PRAGMA integrity_check"), "ok");
    // Up to the signal (a second more for a busy machine), and every sample
    // in its minute.
    EXPECT_GE(QueryNumber(Db(), "SELECT max(time) FROM sample"), signalled - 2);
    EXPECT_EQ(QueryNumber(Db(), "SELECT sum(count) FROM minute"), Samples());
    EXPECT_EQ(ValueOf(ReadFile(PathOf("setup.ini")), "set_altitude"), "250.000000");
    // The samples taken after the last batch are in too.
    return Samples() > committed;
  }

  // A run that could not tell is run again; a close that loses the samples
  // of its last batch loses them every time.
  void RunAndSignalUntilTold(const std::vector<int>& stops) {
    for (int attempt = 1; attempt <= 3; ++attempt) {
      if (RunAndSignal(stops) || HasFailure()) return;
    }
    ADD_FAILURE() << "three runs, and no sample after the last batch was committed by the close";
  }
};

// Each stop signal; the last run's further signals come while it closes and
// do not cut the close short.
TEST_F(SignalCloseTest, EachStopSignalEndsTheProgramCleanly) {
  for (const std::vector<int>& stops :
       {std::vector<int>{SIGTERM}, {SIGHUP}, {SIGINT, SIGTERM, SIGHUP, SIGINT}}) {
    SCOPED_TRACE(stops.front());
    RunAndSignalUntilTold(stops);
  }
}

// The rows of a data log: its lines that are not comments or empty.
std::vector<std::string> LogRows(const std::string& text) {
  std::vector<std::string> rows;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line))
    if (!line.empty() && line[0] != '#') rows.push_back(line);
  return rows;
}

// In-process, on virtual time: the request is read from the event loop and
// closes as a confirmed close does, without the question; what follows it
// changes nothing.
TEST_F(SignalCloseTest, ARequestClosesWithTheLogWholeAndTheSettingsSaved) {
  struct sigaction previous[3];
  const int stops[3] = {SIGTERM, SIGHUP, SIGINT};
  for (int i = 0; i < 3; ++i) sigaction(stops[i], nullptr, &previous[i]);
  ASSERT_TRUE(InstallSignalClose());

  for (bool by_signal : {true, false}) {
    SCOPED_TRACE(by_signal);
    RemoveFiles();
    InstallSetupToBeSaved();
    StartProgram();
    RunDetection();
    dialogs.file_answers.push_back(PathOf("log.dat").toStdString());
    Program().Wchart->Storesamplestofile1Click();
    ASSERT_TRUE(Program().Wchart->IsLogging());
    MeasureTicks(7);
    const long long recorded = static_cast<long long>(Program().archive->Revision());

    if (by_signal) {
      raise(SIGTERM);
      for (int i = 0; i < 100 && Program().terminate_requests == 0; ++i)
        QCoreApplication::processEvents();
    } else {
      // What the session manager's commit-data request calls.
      CloseOnRequest();
    }
    EXPECT_EQ(Program().terminate_requests, 1);
    EXPECT_TRUE(Program().closing);
    EXPECT_FALSE(Program().Wmain->Timer1->isActive());
    EXPECT_EQ(dialogs.CountOf(ScriptedDialogs::Kind::Confirm), 0);
    EXPECT_EQ(ValueOf(ReadFile(PathOf("setup.ini")), "set_altitude"), "250.000000");
    // A second request while the close runs is no second close: nothing is
    // saved again.
    QFile::remove(PathOf("setup.ini"));
    raise(SIGINT);
    QCoreApplication::processEvents();
    CloseOnRequest();
    EXPECT_FALSE(Exists(PathOf("setup.ini")));
    EXPECT_EQ(dialogs.CountOf(ScriptedDialogs::Kind::Confirm), 0);
    EndProgramNow();

    EXPECT_EQ(Samples(), recorded);
    const std::string log = ReadFile(PathOf("log.dat"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), '\n');
    const std::vector<std::string> rows = LogRows(log);
    ASSERT_GE(rows.size(), 7u);
    for (const std::string& row : rows)
      EXPECT_EQ(std::count(row.begin(), row.end(), ';'),
                std::count(rows.front().begin(), rows.front().end(), ';'))
          << row;
  }
  RemoveSignalClose();
  for (int i = 0; i < 3; ++i) sigaction(stops[i], &previous[i], nullptr);
}

// Nobody is there to answer a box after a request from outside: a settings
// file that cannot be written is said on standard error and in the exit
// status, the record is in the file, and the loop ends at once.
TEST_F(SignalCloseTest, ASaveThatFailsAtARequestIsToldWithoutABox) {
  StartMeasuringProgram();
  MeasureTicks(3);
  ASSERT_TRUE(QFile::remove(PathOf("setup.ini")));
  ASSERT_EQ(symlink("/dev/full", PathOf("setup.ini").toStdString().c_str()), 0);
  testing::internal::CaptureStderr();
  CloseOnRequest();
  const std::string told = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(dialogs.calls.empty());
  EXPECT_EQ(Program().terminate_requests, 1);
  EXPECT_EQ(Program().exit_status, 1);
  EXPECT_NE(told.find("Error : Unable to open output file setup.ini: No space left on device\n"),
            std::string::npos)
      << told;
  EXPECT_EQ(Samples(), static_cast<long long>(Program().archive->Revision()));
  EndProgramNow();
}

// The same in the real program: it ends on the signal with status 1 and the
// reason on standard error (a box would hold it up for ever).
TEST_F(SignalCloseTest, ARealProgramWhoseSaveFailsEndsWithTheReason) {
  InstallSetupToBeSaved();
  QProcess child;
  child.setWorkingDirectory(PathOf(""));
  child.start(BAROMETER_SIM, {});
  ASSERT_TRUE(child.waitForStarted());
  for (int i = 0; i < 1200 && Samples() < 3; ++i) QThread::msleep(100);
  ASSERT_GE(Samples(), 3);
  ASSERT_TRUE(QFile::remove(PathOf("setup.ini")));
  ASSERT_EQ(symlink("/dev/full", PathOf("setup.ini").toStdString().c_str()), 0);
  QElapsedTimer took;
  took.start();
  ::kill(static_cast<pid_t>(child.processId()), SIGTERM);
  ASSERT_TRUE(child.waitForFinished(60000)) << "held up";
  RecordProperty("exit_ms", static_cast<int>(took.elapsed()));
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child.exitCode(), 1);
  EXPECT_NE(child.readAllStandardError().toStdString().find(
                "Error : Unable to open output file setup.ini: No space left on device"),
            std::string::npos);
}

// True once process `pid` has its own handler for SIGTERM: from then on the
// signal is a request to close.
bool CatchesSigterm(qint64 pid) {
  QFile status(QString("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (!line.startsWith("SigCgt:")) continue;
    const unsigned long long mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
    return (mask >> (SIGTERM - 1)) & 1;
  }
  return false;
}

// What is no settings file (a FIFO nobody writes, a link to /dev/zero, a
// folder) as setup.ini or barometer.ini: said once, the start goes on to
// measure, the odd file is left as it is, and a stop at any point ends the
// program with status 0.
class OddSettingsFileTest : public SignalCloseTest {
 protected:
  struct Odd {
    const char* name;
    const char* kind;
    std::function<int(const std::string&)> make;
  };
  static std::vector<Odd> Odds() {
    return {
        {"setup.ini", "a FIFO", [](const std::string& p) { return mkfifo(p.c_str(), 0600); }},
        {"setup.ini", "a link to a character device",
         [](const std::string& p) { return symlink("/dev/zero", p.c_str()); }},
        {"setup.ini", "a folder", [](const std::string& p) { return mkdir(p.c_str(), 0700); }},
        {"barometer.ini", "a FIFO", [](const std::string& p) { return mkfifo(p.c_str(), 0600); }},
        {"barometer.ini", "a link to a character device",
         [](const std::string& p) { return symlink("/dev/zero", p.c_str()); }},
        {"barometer.ini", "a folder", [](const std::string& p) { return mkdir(p.c_str(), 0700); }}};
  }
  // Puts the odd file in place (and the default setup.ini beside an odd
  // barometer.ini).
  void Install(const Odd& odd) {
    RemoveFiles();
    QFile::remove(PathOf("barometer.ini"));
    QDir(PathOf("setup.ini")).removeRecursively();
    QDir(PathOf("barometer.ini")).removeRecursively();
    if (std::string(odd.name) == "barometer.ini") InstallDefaultSetup();
    ASSERT_EQ(odd.make(PathOf(odd.name).toStdString()), 0);
  }
  void ExpectUntouched(const Odd& odd) {
    struct stat info {};
    ASSERT_EQ(lstat(PathOf(odd.name).toStdString().c_str(), &info), 0);
    const std::string kind = odd.kind;
    EXPECT_TRUE(kind == "a FIFO"     ? S_ISFIFO(info.st_mode)
                : kind == "a folder" ? S_ISDIR(info.st_mode)
                                     : S_ISLNK(info.st_mode));
  }
};

TEST_F(OddSettingsFileTest, EachIsSaidOnceAndTheProgramMeasuresAndStops) {
  for (const Odd& odd : Odds()) {
    SCOPED_TRACE(std::string(odd.name) + " as " + odd.kind);
    Install(odd);
    dialogs.calls.clear();
    StartProgram();
    RunDetection();
    MeasureTicks(3);
    const std::string message = std::string(odd.name) + " is " + odd.kind;
    const std::string expected =
        std::string(odd.name) == "setup.ini"
            ? "Error : " + message + ", not a settings file"
            : "Error : Unable to read barometer.ini: it is " + std::string(odd.kind) +
                  ", not a settings file. Its settings keep their defaults.";
    std::vector<std::string> errors;
    for (const auto& call : dialogs.calls)
      if (call.kind == ScriptedDialogs::Kind::Error) errors.push_back(call.text);
    EXPECT_EQ(errors, std::vector<std::string>{expected});
    EXPECT_TRUE(Program().archive->LastSample().has_value()) << "measuring";
    CloseOnRequest();
    EXPECT_EQ(Program().exit_status, 0);
    EndProgramNow();
    ExpectUntouched(odd);
  }
}

TEST_F(OddSettingsFileTest, TheRealProgramStartsOnAndEndsOnAStopWithStatusZero) {
  for (const Odd& odd : Odds()) {
    for (bool measuring : {false, true}) {
      SCOPED_TRACE(std::string(odd.name) + " as " + odd.kind + (measuring ? ", measuring" : ""));
      Install(odd);
      QProcess child;
      child.setWorkingDirectory(PathOf(""));
      child.start(BAROMETER_SIM, {});
      ASSERT_TRUE(child.waitForStarted());
      if (measuring) {
        // The start went past the odd file (behind its box) to measuring.
        for (int i = 0; i < 1200 && Samples() < 3; ++i) QThread::msleep(100);
        EXPECT_GE(Samples(), 3);
      } else {
        // A stop as soon as the program takes one: in the middle of its start.
        for (int i = 0; i < 6000 && !CatchesSigterm(child.processId()); ++i) QThread::msleep(5);
      }
      ::kill(static_cast<pid_t>(child.processId()), SIGTERM);
      EXPECT_TRUE(child.waitForFinished(60000));
      EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(child.exitCode(), 0);
      ExpectUntouched(odd);
    }
  }
}

// Before the module is found the settings file is not read yet: a request
// then ends the program without writing the defaults over it.
TEST_F(SignalCloseTest, ARequestBeforeTheMeasurementLeavesTheSettingsFile) {
  InstallSetupToBeSaved();
  const std::string before = ReadFile(PathOf("setup.ini"));
  StartProgram();
  CloseOnRequest();
  EXPECT_EQ(Program().terminate_requests, 1);
  EndProgramNow();
  EXPECT_EQ(ReadFile(PathOf("setup.ini")), before);
}

}  // namespace

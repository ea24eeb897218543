// The pressure record against the program's file dialogs: each opened in
// the record's folder and cancelled leaves the record's locks for every
// other program to see, and the record's own files are refused as a name
// to write.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <ctime>

#include "archive/Tarchive.h"
#include "chart/Tchart.h"
#include "main/Program.h"
#include "record_dialogs.h"
#include "support_program.h"
#include "tests/support/record_locks_seen.h"
#include "tests/support/sqlite_query.h"

namespace {

class RecordDialogsTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  }
  std::string Db() const { return PathOf("barometer.db").toStdString(); }
  long long Samples() const { return QueryNumber(Db(), "SELECT count(*) FROM sample"); }
};

TEST_F(RecordDialogsTest, EveryFileDialogCancelledInTheRecordsFolderLeavesItsLocks) {
  StartMeasuringProgram();
  MeasureTicks(20);
  ASSERT_TRUE(Program().archive->IsRecording());
  Dialogs* scripted = Program().dialogs;
  RealFileDialogs real(*scripted);
  Program().dialogs = &real;
  FileDialogCanceller canceller;
  int opened = 0;
  for (const ProgramFileDialog& dialog : EveryFileDialog()) {
    SCOPED_TRACE(dialog.name);
    dialog.open();
    EXPECT_EQ(canceller.Cancelled(), ++opened);
    const RecordLocksSeen seen = LocksSeenByAnotherProcess(Db());
    EXPECT_TRUE(seen.file);
    EXPECT_TRUE(seen.index);
    MeasureTicks(6);
  }
  Program().dialogs = scripted;
  EXPECT_EQ(canceller.BoxesClosed(), 0);
  EXPECT_TRUE(dialogs.calls.empty());
  EXPECT_TRUE(Program().archive->IsRecording());
  EndProgramNow();
  EXPECT_EQ(QueryText(Db(), "PRAGMA integrity_check"), "ok");
}

TEST_F(RecordDialogsTest, TheRecordsOwnFilesAreRefusedAsANameToWrite) {
  StartMeasuringProgram();
  MeasureTicks(20);
  Program().archive->Flush();
  ASSERT_EQ(::symlink(Db().c_str(), PathOf("record.csv").toStdString().c_str()), 0);
  struct stat before;
  ASSERT_EQ(::stat(Db().c_str(), &before), 0);
  const std::vector<ProgramFileDialog> every = EveryFileDialog();
  const char* names[] = {"barometer.db", "barometer.db-wal", "barometer.db-shm",
                         "barometer.db-journal", "record.csv"};
  int refused = 0;
  for (const ProgramFileDialog& dialog : every) {
    // Opening a file is reading it: only the dialogs that write.
    const std::string what = dialog.name;
    if (what == "Load settings" || what == "MQTT CA file") continue;
    for (const char* name : names) {
      SCOPED_TRACE(what + " as " + name);
      dialogs.calls.clear();
      dialogs.file_answers.push_back(PathOf(name).toStdString());
      dialogs.confirm_answers.push_back(true);  // should it ask to overwrite
      dialog.open();
      ASSERT_EQ(dialogs.calls.size(), 2u);
      EXPECT_EQ(dialogs.calls[1].kind, ScriptedDialogs::Kind::Error);
      EXPECT_NE(dialogs.calls[1].text.find("is the pressure record"), std::string::npos)
          << dialogs.calls[1].text;
      dialogs.confirm_answers.clear();
      ++refused;
    }
  }
  EXPECT_EQ(refused, 5 * 5);
  // The print dialog's "print to file" names a file too.
  dialogs.calls.clear();
  Program().Wchart->picture.choose_printer = [&](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(Db()));
    return true;
  };
  Program().Wchart->Print1Click();
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_NE(dialogs.calls[0].text.find("is the pressure record"), std::string::npos);
  // No log was begun, and the record went on as it was.
  EXPECT_FALSE(Program().Wchart->IsLogging());
  MeasureTicks(10);
  EXPECT_TRUE(Program().archive->IsRecording());
  EndProgramNow();
  struct stat after;
  ASSERT_EQ(::stat(Db().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(QueryText(Db(), "PRAGMA integrity_check"), "ok");
  EXPECT_GE(Samples(), 30);
  EXPECT_FALSE(Exists(PathOf("barometer.db-journal")));
  EXPECT_EQ(QueryText(Db(), "PRAGMA journal_mode"), "wal");
}

// A second program's query that ends its connection: with the program's
// locks seen it leaves the log to the program; without them it would copy
// it back and delete it under the program.
void QueryAsAnotherProgram(const std::string& db) {
  const QString cli = QStandardPaths::findExecutable("sqlite3");
  if (!cli.isEmpty()) {
    QProcess query;
    query.start(cli, {QString::fromStdString(db), "SELECT count(*) FROM sample"});
    ASSERT_TRUE(query.waitForFinished(60000));
    EXPECT_EQ(query.exitCode(), 0);
    EXPECT_GT(query.readAllStandardOutput().trimmed().toLongLong(), 0);
    return;
  }
  // Without the shell, the same from this process, read-write as it opens.
  sqlite3* connection = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &connection), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(connection, "SELECT count(*) FROM sample", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(connection);
}

TEST_F(RecordDialogsTest, AKilledProgramThatCancelledEveryDialogLosesAtMostTenSeconds) {
  InstallDefaultSetup();
  QProcess child;
  child.setWorkingDirectory(PathOf(""));
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(RECORD_DIALOGS_SIM, {});
  ASSERT_TRUE(child.waitForStarted());
  // Detection, a few samples, then every dialog (generous for a loaded machine).
  for (int i = 0; i < 3000 && !Exists(PathOf("dialogs-done")); ++i) QThread::msleep(100);
  ASSERT_TRUE(Exists(PathOf("dialogs-done")));
  EXPECT_EQ(ReadFile(PathOf("dialogs-done")), std::to_string(EveryFileDialog().size()) + " 0\n");
  const RecordLocksSeen seen = LocksSeenByAnotherProcess(Db());
  EXPECT_TRUE(seen.file);
  EXPECT_TRUE(seen.index);

  QueryAsAnotherProgram(Db());
  EXPECT_TRUE(Exists(PathOf("barometer.db-wal")));
  // The program's commits still reach other readers.
  const long long queried = Samples();
  for (int i = 0; i < 600 && Samples() == queried; ++i) QThread::msleep(50);
  ASSERT_GT(Samples(), queried);
  QThread::msleep(2500);
  const std::time_t killed = std::time(nullptr);
  ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
  ASSERT_TRUE(child.waitForFinished());
  EXPECT_EQ(QueryText(Db(), "PRAGMA integrity_check"), "ok");
  // At most the last 10 s are lost (2 s more for a busy machine).
  EXPECT_GE(QueryNumber(Db(), "SELECT max(time) FROM sample"), killed - 12);
  EXPECT_EQ(QueryNumber(Db(), "SELECT sum(count) FROM minute"), Samples());
}

}  // namespace

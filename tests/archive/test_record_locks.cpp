// The record's locks against everything else in the process: a descriptor
// of the record's files opened and closed elsewhere leaves them, another
// process sees them, and they go when the record closes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <string>

#include "archive/Tarchive.h"
#include "archive/Trecord_locks.h"
#include "platform/Clock.h"
#include "tests/support/record_locks_seen.h"
#include "tests/support/sqlite_query.h"

namespace {

bool Exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

// What a file dialog does to a file it shows: open, read a little, close.
void LookAt(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0) << path;
  char head[64];
  EXPECT_GE(::read(fd, head, sizeof head), 0);
  ::close(fd);
}

TEST(RecordLocks, OtherDescriptorsClosedInTheProcessLeaveTheLocksUntilTheRecordCloses) {
  ASSERT_TRUE(Trecord_locks::Install());
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string db = dir.filePath("barometer.db").toStdString();
  VirtualClock clock;
  clock.SetNow(1700000040);
  {
    Tarchive archive(clock);
    ASSERT_TRUE(archive.Open(db));
    for (int i = 0; i < 30; ++i) {
      clock.AdvanceSeconds(1);
      archive.Record(1000 + i, 2000, 1000 + i * 0.01, 20, 1013, 100);
    }
    archive.Flush();
    // The file and the log's index, each through one descriptor of the lock's own.
    EXPECT_EQ(Trecord_locks::HeldFiles(), 2);
    const RecordLocksSeen before = LocksSeenByAnotherProcess(db);
    EXPECT_TRUE(before.file);
    EXPECT_TRUE(before.index);
    EXPECT_NE(KernelLocksOn(db + "-shm").find("OFDLCK"), std::string::npos)
        << KernelLocksOn(db + "-shm");
    EXPECT_EQ(KernelLocksOn(db + "-shm").find("POSIX"), std::string::npos);

    for (const char* suffix : {"", "-wal", "-shm"}) LookAt(db + suffix);
    // A reader of the same process, which SQLite opens and closes beside
    // the record's two connections, as the tests and an export do.
    EXPECT_EQ(QueryNumber(db, "SELECT count(*) FROM sample"), 30);

    const RecordLocksSeen after = LocksSeenByAnotherProcess(db);
    EXPECT_TRUE(after.file);
    EXPECT_TRUE(after.index);
    // Recording goes on through all of it.
    for (int i = 0; i < 30; ++i) {
      clock.AdvanceSeconds(1);
      archive.Record(2000 + i, 2000, 1001, 20, 1013, 100);
    }
    archive.Flush();
    EXPECT_TRUE(archive.IsRecording());
    EXPECT_EQ(QueryNumber(db, "SELECT count(*) FROM sample"), 60);
  }
  // The last connection closed: its locks went, and SQLite, seeing no other
  // connection, copied the log back and removed it.
  EXPECT_EQ(Trecord_locks::HeldFiles(), 0);
  EXPECT_EQ(KernelLocksOn(db), "");
  EXPECT_FALSE(Exists(db + "-wal"));
  const RecordLocksSeen closed = LocksSeenByAnotherProcess(db);
  EXPECT_FALSE(closed.file);
  EXPECT_EQ(QueryText(db, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(QueryNumber(db, "SELECT count(*) FROM sample"), 60);
}

TEST(RecordLocks, TheRecordsOwnFilesAreKnownUnderEveryName) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string folder = dir.path().toStdString();
  VirtualClock clock;
  clock.SetNow(1700000040);
  Tarchive archive(clock);
  EXPECT_FALSE(archive.IsOwnFile(folder + "/barometer.db"));  // not opened yet
  ASSERT_TRUE(archive.Open(folder + "/barometer.db"));
  archive.Record(1, 2, 1000, 20, 1013, 0);
  archive.Flush();
  ASSERT_EQ(::mkdir((folder + "/sub").c_str(), 0755), 0);
  ASSERT_EQ(::symlink((folder + "/barometer.db").c_str(), (folder + "/link.db").c_str()), 0);
  ASSERT_EQ(::link((folder + "/barometer.db").c_str(), (folder + "/hard.db").c_str()), 0);
  for (const std::string& own :
       {folder + "/barometer.db", folder + "/barometer.db-wal", folder + "/barometer.db-shm",
        folder + "/barometer.db-journal", folder + "/sub/../barometer.db", folder + "/link.db",
        folder + "/hard.db", folder + "//barometer.db-wal"})
    EXPECT_TRUE(archive.IsOwnFile(own)) << own;
  for (const std::string& other : {folder + "/barometer.csv", folder + "/sub/barometer.db",
                                   folder + "/barometer.db-old", folder + "/setup.ini"})
    EXPECT_FALSE(archive.IsOwnFile(other)) << other;
  archive.Close();
}

}  // namespace

// The bytes the record writes to the disk per day at one sample a second,
// as the kernel would send them to an SD card.
//
//   record-writes FOLDER [HOURS [COMMIT_SECONDS [CHECKPOINT_PAGES]]]
//
// FOLDER must be on a disk file system (not tmpfs, which counts nothing).
// A full record (a week of samples, a year of minutes) is written there
// first, so that the retention deletes as much as is added, as in a record
// that has run for a while. Then HOURS (default 1) of samples are recorded
// in virtual time. The kernel writes a file's dirty pages back some 30 s
// after they were first dirtied; a page dirtied again after that is written
// again. The benchmark does the same by syncing the file system every 30
// virtual seconds, and reads the process's write_bytes (pages dirtied,
// counted once per write-back) and wchar (bytes handed to write()) from
// /proc/self/io. Both are extrapolated to a day.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "archive/Tarchive.h"
#include "platform/Clock.h"
#include "support_full_record.h"

namespace {
struct Io {
  long long wchar = 0, write_bytes = 0;
};

Io ReadIo() {
  Io io;
  std::ifstream in("/proc/self/io");
  std::string key;
  long long value;
  while (in >> key >> value) {
    if (key == "wchar:") io.wchar = value;
    if (key == "write_bytes:") io.write_bytes = value;
  }
  return io;
}

long long FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

// Bytes of the file's pages in use (not on its free list).
long long UsedBytes(const std::string& path) {
  sqlite3* db = nullptr;
  long long used = 0;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT (page_count - freelist_count) * page_size FROM "
                           "pragma_page_count, pragma_freelist_count, pragma_page_size",
                           -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
      used = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return used;
}

double MiB(double bytes) {
  return bytes / (1024.0 * 1024.0);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER [HOURS [COMMIT_SECONDS [CHECKPOINT_PAGES]]]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const double hours = argc > 2 ? std::atof(argv[2]) : 1.0;
  const int commit_seconds = argc > 3 ? std::atoi(argv[3]) : Tarchive::kCommitSeconds;
  const int checkpoint_pages = argc > 4 ? std::atoi(argv[4]) : 0;
  const std::string path = folder + "/barometer.db";
  for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((path + suffix).c_str());

  const std::time_t start = 1700000000;
  std::fprintf(stderr, "Writing a full record...\n");
  WriteFullRecord(path, start);
  const long long used_before = UsedBytes(path);
  const int folder_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  ::syncfs(folder_fd);

  VirtualClock clock(start);
  Tarchive archive(clock);
  if (checkpoint_pages > 0 || commit_seconds != Tarchive::kCommitSeconds)
    archive.SetBatchPolicy(commit_seconds, checkpoint_pages);
  if (!archive.Open(path)) {
    std::fprintf(stderr, "cannot record: %s\n", archive.FailureText().c_str());
    return 1;
  }
  const Io before = ReadIo();
  const long long seconds = static_cast<long long>(hours * 3600);
  for (long long i = 0; i < seconds; ++i) {
    const std::time_t t = start + i;
    clock.SetNow(t);
    const double p = RecordWeather(t);
    archive.Record(5400000, 8300000, p - 29.7, 20.5, p, 250.3);
    // The kernel's write-back of pages dirty for 30 s.
    if (i % 30 == 29) ::syncfs(folder_fd);
  }
  archive.Close();
  ::syncfs(folder_fd);
  const Io after = ReadIo();
  ::close(folder_fd);

  // The growth of a record without retention: a day of sample rows, from
  // the samples of the last week that the full record holds.
  const double scale = 24.0 / hours;
  const double write_bytes = static_cast<double>(after.write_bytes - before.write_bytes) * scale;
  const double wchar = static_cast<double>(after.wchar - before.wchar) * scale;
  std::printf("policy: commit every %d s, checkpoint at %d pages\n", commit_seconds,
              checkpoint_pages > 0 ? checkpoint_pages : 1000);
  std::printf("recorded: %.1f h at 1 sample/s; record in use %.1f MiB, file %.1f MiB\n", hours,
              MiB(static_cast<double>(used_before)), MiB(static_cast<double>(FileSize(path))));
  std::printf("per day: write_bytes %.1f MiB, wchar %.1f MiB\n", MiB(write_bytes), MiB(wchar));
  return 0;
}

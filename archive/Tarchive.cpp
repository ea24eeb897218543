// The pressure record in an SQLite file: one row per good sample, one row
// per minute that has samples, commits in batches, and a failure reported
// once after which the program runs on without recording.

#include "archive/Tarchive.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "archive/Trecord_locks.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS sample("
    "time INTEGER NOT NULL, d1 INTEGER NOT NULL, d2 INTEGER NOT NULL, "
    "pressure REAL NOT NULL, temperature REAL NOT NULL, "
    "sea_level_pressure REAL NOT NULL, altitude REAL NOT NULL);"
    "CREATE INDEX IF NOT EXISTS sample_time ON sample(time);"
    "CREATE TABLE IF NOT EXISTS minute("
    "time INTEGER PRIMARY KEY, count INTEGER NOT NULL, "
    "sea_level_pressure_min REAL NOT NULL, sea_level_pressure_mean REAL NOT NULL, "
    "sea_level_pressure_max REAL NOT NULL, "
    "pressure_min REAL NOT NULL, pressure_mean REAL NOT NULL, pressure_max REAL NOT NULL, "
    "temperature_min REAL NOT NULL, temperature_mean REAL NOT NULL, "
    "temperature_max REAL NOT NULL);";

// The steps of the schema: step k brings a file of version k to version
// k + 1. Version 0 is the schema above, that of every file made before the
// schema had a version; a step keeps every row as it was.
const char* const kSchemaSteps[] = {
    // 1: the changes of the altitude setting.
    "CREATE TABLE IF NOT EXISTS altitude_change("
    "time INTEGER NOT NULL, old_altitude REAL NOT NULL, new_altitude REAL NOT NULL);"
    "CREATE INDEX IF NOT EXISTS altitude_change_time ON altitude_change(time);",
    // 2: samples of a source without raw words (d1, d2 may be NULL), and
    // the source of each sample (0 the module, 1 an IIO sensor). SQLite
    // cannot drop a NOT NULL, so the table is copied, rowids and all; every
    // row there is the module's.
    "CREATE TABLE sample_v2("
    "time INTEGER NOT NULL, d1 INTEGER, d2 INTEGER, "
    "pressure REAL NOT NULL, temperature REAL NOT NULL, "
    "sea_level_pressure REAL NOT NULL, altitude REAL NOT NULL, "
    "source INTEGER NOT NULL DEFAULT 0);"
    "INSERT INTO sample_v2(rowid, time, d1, d2, pressure, temperature, sea_level_pressure, "
    "altitude) SELECT rowid, time, d1, d2, pressure, temperature, sea_level_pressure, altitude "
    "FROM sample;"
    "DROP TABLE sample;"
    "ALTER TABLE sample_v2 RENAME TO sample;"
    "CREATE INDEX sample_time ON sample(time);",
};
static_assert(static_cast<int>(sizeof kSchemaSteps / sizeof kSchemaSteps[0]) ==
                  Tarchive::kSchemaVersion,
              "one step per version");

// A read-only connection may wait this long for a writer of another program
// that is just starting its log over; the tick's reads never wait longer.
constexpr int kReadOnlyBusyMs = 100;
// Opening for recording may wait this long for the file's locks: a reader
// of another program (sqlite3, a test) takes the file for a moment when it
// opens it and when it closes as its last connection. Without the wait,
// such a moment at the start cost the whole run its recording.
constexpr int kOpenBusyMs = 2000;

constexpr const char* kMinuteColumns =
    "time, count, sea_level_pressure_min, sea_level_pressure_mean, sea_level_pressure_max, "
    "pressure_min, pressure_mean, pressure_max, temperature_min, temperature_mean, "
    "temperature_max";

// A batch is committed once it is this many rows long, whatever the clock
// says (imports, or a clock that stands still).
constexpr int kBatchRows = 4096;
// The log is copied back into the file once it holds this many pages.
constexpr int kCheckpointFrames = 1000;
// Samples past their retention are deleted a chunk at a time, once a minute,
// so that a long backlog never costs one tick much.
constexpr int kPruneSeconds = 60;
constexpr int kPruneRows = 1000;

// Start of the minute that holds t (also for times before 1970).
std::time_t MinuteOf(std::time_t t) {
  std::time_t r = t % 60;
  if (r < 0) r += 60;
  return t - r;
}

// The reason behind an SQLite result code, in the user's words.
std::string Reason(sqlite3* db, int rc) {
  const int system_errno = db != nullptr ? sqlite3_system_errno(db) : 0;
  switch (rc & 0xff) {
    case SQLITE_FULL:
      return "the disk is full";
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return "the file or its folder may not be written";
    case SQLITE_CANTOPEN:
      if (system_errno == EACCES || system_errno == EPERM || system_errno == EROFS)
        return "the file or its folder may not be written";
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "another program is using it";
    case SQLITE_IOERR:
      if (system_errno == ENOSPC || system_errno == EFBIG || system_errno == EDQUOT)
        return "the disk is full";
      break;
    default:
      break;
  }
  std::string text = sqlite3_errstr(rc);
  if (system_errno != 0) text += std::string(" (") + std::strerror(system_errno) + ")";
  return text;
}

bool IsCorrupt(int rc) {
  return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB;
}

bool Exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

// The file's schema version (its user_version) into *version.
int ReadVersion(sqlite3* db, int* version) {
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &s, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) {
      *version = sqlite3_column_int(s, 0);
      rc = SQLITE_OK;
    }
  }
  sqlite3_finalize(s);
  return rc;
}

// The version of the file at path as any reader finds it; -1 when there is
// no file or it cannot be read so.
int FileVersion(const std::string& path) {
  int version = -1;
  if (!Exists(path)) return version;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      ReadVersion(db, &version) != SQLITE_OK)
    version = -1;
  sqlite3_close(db);
  return version;
}

// The path as an SQLite file URI: the characters that end or escape a path
// there are written as %XX.
std::string FileUri(const std::string& path) {
  std::string uri = "file:";
  for (const char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      uri += escaped;
    } else {
      uri += c;
    }
  }
  return uri;
}

}  // namespace

// The sums of the minute being gathered.
struct Tarchive::Accumulator {
  std::time_t time = 0;
  int count = 0;
  double slp_min = 0, slp_sum = 0, slp_max = 0;
  double p_min = 0, p_sum = 0, p_max = 0;
  double t_min = 0, t_sum = 0, t_max = 0;

  void Add(const TarchiveSample& s) {
    if (count == 0) {
      slp_min = slp_max = s.sea_level_pressure;
      p_min = p_max = s.pressure;
      t_min = t_max = s.temperature;
    }
    ++count;
    slp_min = std::min(slp_min, s.sea_level_pressure);
    slp_max = std::max(slp_max, s.sea_level_pressure);
    slp_sum += s.sea_level_pressure;
    p_min = std::min(p_min, s.pressure);
    p_max = std::max(p_max, s.pressure);
    p_sum += s.pressure;
    t_min = std::min(t_min, s.temperature);
    t_max = std::max(t_max, s.temperature);
    t_sum += s.temperature;
  }

  TarchiveMinute Summary() const {
    TarchiveMinute m;
    m.time = time;
    m.count = count;
    const double n = count > 0 ? count : 1;
    m.sea_level_pressure_min = slp_min;
    m.sea_level_pressure_mean = slp_sum / n;
    m.sea_level_pressure_max = slp_max;
    m.pressure_min = p_min;
    m.pressure_mean = p_sum / n;
    m.pressure_max = p_max;
    m.temperature_min = t_min;
    m.temperature_mean = t_sum / n;
    m.temperature_max = t_max;
    return m;
  }

  // Continues a minute already on record (a restart, or a clock set back).
  void Seed(const TarchiveMinute& m) {
    count = m.count;
    slp_min = m.sea_level_pressure_min;
    slp_max = m.sea_level_pressure_max;
    slp_sum = m.sea_level_pressure_mean * m.count;
    p_min = m.pressure_min;
    p_max = m.pressure_max;
    p_sum = m.pressure_mean * m.count;
    t_min = m.temperature_min;
    t_max = m.temperature_max;
    t_sum = m.temperature_mean * m.count;
  }
};

// The thread that checkpoints the log, and what wakes it.
struct Tarchive::Checkpointer {
  std::thread thread;
  std::mutex mutex;
  std::condition_variable wake;
  bool due = false;
  bool stop = false;
  int frames = kCheckpointFrames;  // the log's pages that make a checkpoint due
  sqlite3* db = nullptr;
};

// A prepared statement kept for reuse. A read that finds it in use (a reader
// that reads again from inside its visit) prepares one of its own.
struct Tarchive::Statement {
  sqlite3_stmt* stmt = nullptr;
  bool busy = false;
};

namespace {

// Borrows a cached statement, or prepares a temporary one while the cached
// one is busy; resets (or finalizes) it when done.
template <typename Holder>
class Borrowed {
 public:
  Borrowed(sqlite3* db, Holder*& cache, const char* sql) {
    if (db == nullptr) return;
    if (cache == nullptr) cache = new Holder;
    if (!cache->busy && cache->stmt == nullptr)
      rc_ = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &cache->stmt, nullptr);
    if (!cache->busy && cache->stmt != nullptr) {
      holder_ = cache;
      holder_->busy = true;
      stmt_ = holder_->stmt;
    } else {
      rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
  }
  ~Borrowed() {
    if (holder_ != nullptr) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
      holder_->busy = false;
    } else if (stmt_ != nullptr) {
      sqlite3_finalize(stmt_);
    }
  }
  Borrowed(const Borrowed&) = delete;
  Borrowed& operator=(const Borrowed&) = delete;
  sqlite3_stmt* get() const { return stmt_; }
  // The result of preparing it; SQLITE_OK also when there is no file.
  int rc() const { return rc_; }

 private:
  Holder* holder_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_OK;
};

const std::string kReadMinutes = std::string("SELECT ") + kMinuteColumns +
                                 " FROM minute WHERE time >= ? AND time < ? ORDER BY time";
// The samples' columns; files before version 2 have no source (all theirs
// are the module's).
constexpr const char* kReadSamplesColumns =
    "SELECT time, d1, d2, pressure, temperature, sea_level_pressure, altitude, source FROM sample";
constexpr const char* kReadSamplesColumnsV1 =
    "SELECT time, d1, d2, pressure, temperature, sea_level_pressure, altitude FROM sample";
constexpr const char* kReadSamplesRange = " WHERE time >= ? AND time < ? ORDER BY time";
const std::string kReadSamples = std::string(kReadSamplesColumns) + kReadSamplesRange;
const std::string kReadSamplesV1 = std::string(kReadSamplesColumnsV1) + kReadSamplesRange;

TarchiveSample SampleFromRow(sqlite3_stmt* s) {
  TarchiveSample sample;
  sample.time = static_cast<std::time_t>(sqlite3_column_int64(s, 0));
  sample.has_words =
      sqlite3_column_type(s, 1) != SQLITE_NULL && sqlite3_column_type(s, 2) != SQLITE_NULL;
  if (sample.has_words) {
    sample.d1 = sqlite3_column_int(s, 1);
    sample.d2 = sqlite3_column_int(s, 2);
  }
  sample.pressure = sqlite3_column_double(s, 3);
  sample.temperature = sqlite3_column_double(s, 4);
  sample.sea_level_pressure = sqlite3_column_double(s, 5);
  sample.altitude = sqlite3_column_double(s, 6);
  if (sqlite3_column_count(s) > 7 && sqlite3_column_int(s, 7) == 1)
    sample.source = TarchiveSource::kIio;
  return sample;
}

TarchiveMinute MinuteFromRow(sqlite3_stmt* s) {
  TarchiveMinute m;
  m.time = static_cast<std::time_t>(sqlite3_column_int64(s, 0));
  m.count = sqlite3_column_int(s, 1);
  m.sea_level_pressure_min = sqlite3_column_double(s, 2);
  m.sea_level_pressure_mean = sqlite3_column_double(s, 3);
  m.sea_level_pressure_max = sqlite3_column_double(s, 4);
  m.pressure_min = sqlite3_column_double(s, 5);
  m.pressure_mean = sqlite3_column_double(s, 6);
  m.pressure_max = sqlite3_column_double(s, 7);
  m.temperature_min = sqlite3_column_double(s, 8);
  m.temperature_mean = sqlite3_column_double(s, 9);
  m.temperature_max = sqlite3_column_double(s, 10);
  return m;
}

}  // namespace

Tarchive::Tarchive(Clock& clock, Dialogs* dialogs)
    : clock_(clock), dialogs_(dialogs), checkpoint_frames_(kCheckpointFrames) {
  // Done before main() already; named here so that no program records
  // without it (see Trecord_locks.h).
  Trecord_locks::Install();
}

Tarchive::~Tarchive() {
  Close();
}

bool Tarchive::Open(const std::string& path) {
  Close();
  path_ = path;
  // The box names the file wherever the program was started.
  if (!path_.empty() && path_[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) != nullptr) path_ = std::string(cwd) + "/" + path_;
  }
  failure_.clear();
  reported_ = false;
  suspended_ = false;
  notice_.reset();
  std::string reason;
  bool corrupt = false;
  // A file of a newer version of the program is never opened for writing:
  // even a connection that only reads may write when it closes (it copies
  // the log back into the file).
  bool newer = FileVersion(path_) > kSchemaVersion;
  if (!newer) {
    if (OpenFile(reason, corrupt, newer)) return true;
    if (corrupt) return StartOver(reason);
  }
  // Nothing new goes into the file, but what it holds is still shown.
  const bool readable = OpenReadOnly();
  int version = 0;
  if (readable && !newer)
    newer = ReadVersion(db_, &version) == SQLITE_OK && version > kSchemaVersion;
  std::string then = readable ? "Its history is shown, but nothing new is recorded."
                              : "The program runs on without recording.";
  if (log_unread_)
    then += " The samples still in " + path_ + "-wal cannot be read from this folder.";
  if (newer)
    Fail("The pressure record " + path_ + " belongs to a newer version of the program.", then);
  else
    Fail("The pressure record cannot be kept in " + path_ + ": " + reason + ".", then);
  return false;
}

bool Tarchive::OpenForReading(const std::string& path) {
  Close();
  path_ = path;
  failure_ = "the record is another program's";
  reported_ = true;
  suspended_ = false;
  notice_.reset();
  return OpenReadOnly();
}

bool Tarchive::OpenReadOnly() {
  read_only_ = false;
  log_unread_ = false;
  if (!Exists(path_)) return false;
  // As any reader first. In a folder that may not be written, and where the
  // log's index (-shm) is missing, SQLite cannot read a file in WAL mode so;
  // the file is then read as it stands ("immutable": no locks, no log). Its
  // log, if there is one, holds what its last program did not copy back.
  for (const char* mode : {"?mode=ro", "?immutable=1"}) {
    const std::string uri = FileUri(path_) + mode;
    int rc = sqlite3_open_v2(uri.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_extended_result_codes(db_, 1);
      sqlite3_busy_timeout(db_, kReadOnlyBusyMs);
      sqlite3_stmt* s = nullptr;
      rc = sqlite3_prepare_v2(db_, "SELECT count(*) FROM sqlite_master", -1, &s, nullptr);
      if (rc == SQLITE_OK) rc = sqlite3_step(s) == SQLITE_ROW ? SQLITE_OK : sqlite3_errcode(db_);
      sqlite3_finalize(s);
    }
    if (rc == SQLITE_OK) {
      read_only_ = true;
      int version = 0;
      has_source_ = ReadVersion(db_, &version) == SQLITE_OK && version >= 2;
      struct stat log;
      log_unread_ =
          mode[1] == 'i' && ::stat((path_ + "-wal").c_str(), &log) == 0 && log.st_size > 0;
      return true;
    }
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
  return false;
}

bool Tarchive::OpenFile(std::string& reason, bool& corrupt, bool& newer) {
  corrupt = false;
  newer = false;
  // A second program on the same folder must not record into the same file;
  // an exclusive lock on the file tells them apart. (SQLite's own locks are
  // of another kind and do not see this one, so a user may still read the
  // file with sqlite3 while the program runs.)
  const bool existed = ::access(path_.c_str(), F_OK) == 0;
  lock_fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock_fd_ < 0) {
    const int e = errno;
    if (e == EACCES || e == EPERM || e == EROFS)
      reason = existed ? "the file may not be written" : "the folder may not be written";
    else
      reason = e == ENOSPC || e == EDQUOT ? "the disk is full" : std::strerror(e);
    return false;
  }
  if (flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
    reason = errno == EWOULDBLOCK ? "another program is already recording into it"
                                  : std::strerror(errno);
    CloseFile();
    return false;
  }
  int rc =
      sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db_, kOpenBusyMs);
    sqlite3_extended_result_codes(db_, 1);
    // The mode is kept in the file; asking reads the header first, so a
    // file that is no database shows here.
    sqlite3_stmt* s = nullptr;
    rc = sqlite3_prepare_v2(db_, "PRAGMA journal_mode=WAL", -1, &s, nullptr);
    if (rc == SQLITE_OK) {
      rc = sqlite3_step(s);
      if (rc == SQLITE_ROW) {
        const char* mode = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        rc = mode != nullptr && std::strcmp(mode, "wal") == 0 ? SQLITE_OK : SQLITE_CANTOPEN;
      }
    }
    sqlite3_finalize(s);
  }
  // synchronous=NORMAL: in WAL mode a commit survives the process being
  // killed without waiting for the disk; only a power cut may lose the last
  // commits, never the file's consistency.
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  // A small page cache: appending touches only the right edge of the tables,
  // and a reader going over a month of minutes would otherwise leave 2 MB of
  // pages in memory for good.
  if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "PRAGMA cache_size=-256", nullptr, nullptr, nullptr);
  // Take the write lock at once: a folder where the write-ahead log cannot
  // be made, or a full disk, shows now rather than at the first sample.
  if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  // The schema, brought up to this program's version in the same
  // transaction: a file is either as it was or at the new version.
  int version = 0;
  if (rc == SQLITE_OK) rc = ReadVersion(db_, &version);
  if (rc == SQLITE_OK && version > kSchemaVersion) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    newer = true;
    reason = "it belongs to a newer version of the program";
    CloseFile();
    return false;
  }
  if (rc == SQLITE_OK && version < 0) version = 0;
  if (rc == SQLITE_OK) rc = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
  for (int step = version; step < kSchemaVersion && rc == SQLITE_OK; ++step)
    rc = sqlite3_exec(db_, kSchemaSteps[step], nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK && version != kSchemaVersion)
    rc = sqlite3_exec(db_, ("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str(),
                      nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  has_source_ = true;
  if (rc == SQLITE_OK) {
    auto prepare = [this, &rc](Statement*& st, const char* sql) {
      st = new Statement;
      if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &st->stmt, nullptr);
    };
    prepare(insert_sample_,
            "INSERT INTO sample(time, d1, d2, pressure, temperature, sea_level_pressure, altitude, "
            "source) VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    prepare(write_minute_, (std::string("INSERT OR REPLACE INTO minute(") + kMinuteColumns +
                            ") VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                               .c_str());
    prepare(prune_,
            "DELETE FROM sample WHERE rowid IN "
            "(SELECT rowid FROM sample WHERE time < ? ORDER BY time LIMIT ?)");
    prepare(begin_, "BEGIN IMMEDIATE");
    prepare(commit_, "COMMIT");
    prepare(insert_altitude_change_,
            "INSERT INTO altitude_change(time, old_altitude, new_altitude) VALUES(?, ?, ?)");
    // A file of another program with tables of these names fails here.
    if (rc != SQLITE_OK) {
      reason = std::string("it holds other tables (") + sqlite3_errmsg(db_) + ")";
      CloseFile();
      return false;
    }
  }
  if (rc != SQLITE_OK) {
    corrupt = IsCorrupt(rc);
    reason = corrupt ? ((rc & 0xff) == SQLITE_NOTADB ? "it is not a database" : "it is damaged")
                     : Reason(db_, rc);
    if (db_ != nullptr && !sqlite3_get_autocommit(db_))
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    CloseFile();
    return false;
  }
  // From now on never wait for a lock: the measurement tick must not stall.
  sqlite3_busy_timeout(db_, 0);
  StartCheckpointer();
  recording_ = true;
  last_prune_ = 0;
  return true;
}

void Tarchive::StartCheckpointer() {
  // Copying the log back into the file waits for the disk (it syncs both),
  // which the measurement tick must not: a thread of its own does it, on a
  // connection of its own, whenever the log has grown by kCheckpointFrames.
  // Commits go on meanwhile (a passive checkpoint never holds a writer up).
  auto* cp = new Checkpointer;
  if (sqlite3_open_v2(path_.c_str(), &cp->db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    // Without it the connection checkpoints by itself, in the tick.
    sqlite3_close(cp->db);
    delete cp;
    return;
  }
  sqlite3_busy_timeout(cp->db, 0);
  cp->frames = checkpoint_frames_;
  checkpointer_ = cp;
  cp->thread = std::thread([cp] {
    std::unique_lock<std::mutex> lock(cp->mutex);
    for (;;) {
      cp->wake.wait(lock, [cp] { return cp->due || cp->stop; });
      if (cp->stop) return;
      cp->due = false;
      lock.unlock();
      sqlite3_wal_checkpoint_v2(cp->db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
      lock.lock();
    }
  });
  // Replaces the connection's own checkpoints after a commit.
  sqlite3_wal_hook(
      db_,
      [](void* arg, sqlite3* db, const char*, int frames) {
        auto* c = static_cast<Checkpointer*>(arg);
        // Should the thread fall far behind (commits in a quick loop leave
        // it no moment where the log is copied completely), the connection
        // copies it itself, so that the log never grows without bound.
        if (frames >= 2 * c->frames)
          sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        if (frames >= c->frames) {
          std::lock_guard<std::mutex> lock(c->mutex);
          c->due = true;
          c->wake.notify_one();
        }
        return SQLITE_OK;
      },
      cp);
}

void Tarchive::StopCheckpointer() {
  if (checkpointer_ == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(checkpointer_->mutex);
    checkpointer_->stop = true;
    checkpointer_->wake.notify_one();
  }
  checkpointer_->thread.join();
  sqlite3_close_v2(checkpointer_->db);
  if (db_ != nullptr) sqlite3_wal_hook(db_, nullptr, nullptr);
  delete checkpointer_;
  checkpointer_ = nullptr;
}

void Tarchive::CloseFile() {
  StopCheckpointer();
  for (Statement** st : {&insert_sample_, &write_minute_, &prune_, &begin_, &commit_,
                         &insert_altitude_change_, &read_samples_, &read_minutes_}) {
    if (*st != nullptr) {
      sqlite3_finalize((*st)->stmt);
      delete *st;
      *st = nullptr;
    }
  }
  if (db_ != nullptr) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
  // After SQLite let go of the file: closing a descriptor of it drops the
  // process's record locks on it.
  if (lock_fd_ >= 0) {
    ::close(lock_fd_);
    lock_fd_ = -1;
  }
  recording_ = false;
  read_only_ = false;
}

bool Tarchive::StartOver(const std::string& what) {
  CloseFile();
  delete minute_;
  minute_ = nullptr;
  char stamp[32] = "unknown";
  const std::time_t now = clock_.Now();
  std::tm local{};
  if (localtime_r(&now, &local) != nullptr)
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string aside = path_ + ".corrupt-" + stamp;
  const std::string then = "The program runs on without recording.";
  if (std::rename(path_.c_str(), aside.c_str()) != 0) {
    Fail("The pressure record " + path_ + " cannot be used: " + what +
             ", and it cannot be renamed aside (" + std::strerror(errno) + ").",
         then);
    return false;
  }
  // Its log belongs to it; the index of the log is rebuilt from the log.
  std::rename((path_ + "-wal").c_str(), (aside + "-wal").c_str());
  std::remove((path_ + "-shm").c_str());
  std::string reason;
  bool corrupt = false;
  bool newer = false;
  if (!OpenFile(reason, corrupt, newer)) {
    Fail("The pressure record " + path_ + " could not be used: " + what + ". It was renamed to " +
             aside + ", but a new one cannot be started: " + reason + ".",
         then);
    return false;
  }
  // Recording goes on: the box only informs.
  Report("The pressure record " + path_ + " could not be used: " + what + ".\nIt was renamed to " +
             aside + " and a new record was started.",
         false);
  return true;
}

void Tarchive::Fail(const std::string& text, const std::string& then) {
  failure_ = text;
  recording_ = false;
  Report(text + "\n" + then);
}

void Tarchive::Report(const std::string& text, bool error) const {
  if (reported_) return;
  reported_ = true;
  // A box not shown yet takes the news with it.
  if (notice_) {
    notice_->text += "\n" + text;
    notice_->error = notice_->error || error;
    return;
  }
  notice_ = Notice{error, text};
}

void Tarchive::ShowNotice() {
  if (!notice_) return;
  const Notice notice = *notice_;
  notice_.reset();
  if (dialogs_ == nullptr) return;
  if (notice.error)
    dialogs_->Error(notice.text);
  else
    dialogs_->Information(notice.text);
}

void Tarchive::ReadFailed(int rc) const {
  Report("The pressure record " + path_ + " could not be read: " + Reason(db_, rc) +
         ".\nWhat is shown of its history may be incomplete.");
}

void Tarchive::WriteFailed(int rc) {
  const std::string reason = Reason(db_, rc);  // before the rollback resets it
  // What was not committed is lost; what was stays readable.
  if (db_ != nullptr && !sqlite3_get_autocommit(db_))
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  pending_.clear();
  pending_minutes_.clear();
  pending_altitude_changes_.clear();
  delete minute_;
  minute_ = nullptr;
  if (IsCorrupt(rc)) {
    suspended_ = false;
    StartOver("it is damaged");
    return;
  }
  // Space may come back, a device recover: the next try is a minute away.
  retry_at_ = clock_.Now() + kRetrySeconds;
  if (suspended_) {
    recording_ = false;  // a try that failed again: told once already
    return;
  }
  suspended_ = true;
  Fail("Recording into the pressure record " + path_ + " stopped: " + reason + ".",
       "The program runs on, and tries again to record every minute.");
}

bool Tarchive::RetryDue() const {
  if (!suspended_ || db_ == nullptr || read_only_) return false;
  const std::time_t now = clock_.Now();
  // A clock set back by more than the wait does not put the try off.
  return now >= retry_at_ || now < retry_at_ - kRetrySeconds;
}

void Tarchive::Close() {
  Flush();
  CloseFile();
  pending_.clear();
  pending_minutes_.clear();
  pending_altitude_changes_.clear();
  delete minute_;
  minute_ = nullptr;
}

bool Tarchive::IsRecording() const {
  return recording_ && db_ != nullptr;
}

void Tarchive::SetBatchPolicy(int commit_seconds, int checkpoint_frames) {
  commit_seconds_ = commit_seconds > 0 ? commit_seconds : kCommitSeconds;
  checkpoint_frames_ = checkpoint_frames > 0 ? checkpoint_frames : kCheckpointFrames;
}

void Tarchive::Flush() {
  if (IsRecording() && (!pending_.empty() || !pending_altitude_changes_.empty())) Commit();
}

void Tarchive::RecordAltitudeChange(double old_altitude, double new_altitude) {
  if (!IsRecording()) return;
  pending_altitude_changes_.push_back({clock_.Now(), old_altitude, new_altitude});
  ++altitude_change_count_;
  Commit();
}

void Tarchive::Commit() {
  // No transaction stays open between batches: the log can then be copied
  // back completely and started over.
  int rc = Execute(begin_);
  if ((rc & 0xff) == SQLITE_BUSY && pending_.size() < static_cast<size_t>(kBatchRows))
    return;  // someone else writes (sqlite3, say): the batch waits for the next time
  if (rc != SQLITE_OK) {
    WriteFailed(rc);
    return;
  }
  const std::time_t now = clock_.Now();
  for (size_t i = 0; i < pending_altitude_changes_.size() && rc == SQLITE_OK; ++i) {
    const TarchiveAltitudeChange& change = pending_altitude_changes_[i];
    sqlite3_stmt* s = insert_altitude_change_->stmt;
    sqlite3_bind_int64(s, 1, static_cast<sqlite3_int64>(change.time));
    sqlite3_bind_double(s, 2, change.old_altitude);
    sqlite3_bind_double(s, 3, change.new_altitude);
    rc = sqlite3_step(s) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db_);
    sqlite3_reset(s);
  }
  if (now - last_prune_ >= kPruneSeconds || now < last_prune_) {
    last_prune_ = now;
    sqlite3_stmt* s = prune_->stmt;
    sqlite3_bind_int64(s, 1, static_cast<sqlite3_int64>(now) - kSampleRetentionDays * 86400LL);
    // A long batch deletes what its time let expire, and a backlog besides.
    sqlite3_bind_int(s, 2, std::max(kPruneRows, 2 * commit_seconds_));
    rc = sqlite3_step(s) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db_);
    sqlite3_reset(s);
  }
  for (size_t i = 0; i < pending_.size() && rc == SQLITE_OK; ++i) {
    const TarchiveSample& sample = pending_[i];
    sqlite3_stmt* s = insert_sample_->stmt;
    sqlite3_bind_int64(s, 1, static_cast<sqlite3_int64>(sample.time));
    if (sample.has_words) {
      sqlite3_bind_int(s, 2, sample.d1);
      sqlite3_bind_int(s, 3, sample.d2);
    } else {
      sqlite3_bind_null(s, 2);
      sqlite3_bind_null(s, 3);
    }
    sqlite3_bind_double(s, 4, sample.pressure);
    sqlite3_bind_double(s, 5, sample.temperature);
    sqlite3_bind_double(s, 6, sample.sea_level_pressure);
    sqlite3_bind_double(s, 7, sample.altitude);
    sqlite3_bind_int(s, 8, static_cast<int>(sample.source));
    rc = sqlite3_step(s) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db_);
    sqlite3_reset(s);
  }
  // The minutes ended since the last batch and the one being gathered go in
  // with it, so that the file always holds a summary of every sample in it.
  for (size_t i = 0; i < pending_minutes_.size() && rc == SQLITE_OK; ++i)
    rc = WriteMinute(pending_minutes_[i]);
  if (rc == SQLITE_OK && minute_ != nullptr) rc = WriteMinute(minute_->Summary());
  if (rc == SQLITE_OK) rc = Execute(commit_);
  if (rc != SQLITE_OK) {
    WriteFailed(rc);
    return;
  }
  pending_.clear();
  pending_minutes_.clear();
  pending_altitude_changes_.clear();
}

int Tarchive::Execute(Statement* statement) {
  sqlite3_stmt* s = statement->stmt;
  const int rc = sqlite3_step(s);
  sqlite3_reset(s);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int Tarchive::WriteMinute(const TarchiveMinute& m) {
  sqlite3_stmt* s = write_minute_->stmt;
  sqlite3_bind_int64(s, 1, static_cast<sqlite3_int64>(m.time));
  sqlite3_bind_int(s, 2, m.count);
  const double values[9] = {
      m.sea_level_pressure_min, m.sea_level_pressure_mean, m.sea_level_pressure_max,
      m.pressure_min,           m.pressure_mean,           m.pressure_max,
      m.temperature_min,        m.temperature_mean,        m.temperature_max};
  for (int i = 0; i < 9; ++i) sqlite3_bind_double(s, 3 + i, values[i]);
  const int rc = sqlite3_step(s) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db_);
  sqlite3_reset(s);
  return rc;
}

void Tarchive::Record(int32_t d1, int32_t d2, double pressure, double temperature,
                      double sea_level_pressure, double altitude) {
  Record(TarchiveSource::kModule, d1, d2, pressure, temperature, sea_level_pressure, altitude);
}

void Tarchive::Record(TarchiveSource source, std::optional<int32_t> d1, std::optional<int32_t> d2,
                      double pressure, double temperature, double sea_level_pressure,
                      double altitude) {
  TarchiveSample s;
  s.time = clock_.Now();
  s.source = source;
  s.has_words = d1.has_value() && d2.has_value();
  s.d1 = s.has_words ? *d1 : 0;
  s.d2 = s.has_words ? *d2 : 0;
  s.pressure = pressure;
  s.temperature = temperature;
  s.sea_level_pressure = sea_level_pressure;
  s.altitude = altitude;
  Append(s);
}

void Tarchive::Append(const TarchiveSample& sample) {
  // After a failed write, a sample at the time of the next try is written
  // at once: it tells whether the record can go on.
  const bool retrying = !IsRecording() && RetryDue();
  if (!IsRecording() && !retrying) return;
  if (retrying) recording_ = true;
  // A sample never takes another's place (the samples have no key), and the
  // minute it falls into goes on from what it holds (BeginMinute): a clock
  // set back loses nothing. The doubled time is kept for the readers that
  // must not take a mixed minute for one time.
  const std::optional<TarchiveSample> previous = last_ ? last_ : LastSample();
  if (previous && sample.time < previous->time - kSetBackSeconds)
    set_backs_.push_back({previous->time, sample.time});
  if (minute_ == nullptr || MinuteOf(sample.time) != minute_->time) {
    if (minute_ != nullptr) pending_minutes_.push_back(minute_->Summary());
    BeginMinute(MinuteOf(sample.time));
  }
  const std::time_t now = clock_.Now();
  if (pending_.empty()) batch_start_ = now;
  pending_.push_back(sample);
  minute_->Add(sample);
  last_ = sample;
  ++revision_;
  // The batch goes in once it spans kCommitSeconds, and at once when the
  // samples come that far apart: the next one, expected as late as this one
  // came, would leave this one uncommitted too long. So a sample never waits
  // for the file much longer than twice kCommitSeconds.
  const bool far_apart = now - last_append_ >= commit_seconds_ || now < last_append_;
  last_append_ = now;
  if (retrying || far_apart || now - batch_start_ >= commit_seconds_ || now < batch_start_ ||
      pending_.size() >= static_cast<size_t>(kBatchRows) ||
      (!pending_minutes_.empty() && commit_seconds_ <= 60))
    Commit();
  if (retrying && IsRecording()) {
    suspended_ = false;
    failure_.clear();
    // Said once, after the failure's own box (or with it, when that one
    // was not shown yet); a later failure is told again.
    reported_ = false;
    Report("Recording into the pressure record " + path_ + " goes on again.", false);
    reported_ = false;
  }
}

void Tarchive::BeginMinute(std::time_t minute_start) {
  if (minute_ == nullptr) minute_ = new Accumulator;
  *minute_ = Accumulator();
  minute_->time = minute_start;
  // A minute already gathered goes on from where it was (a restart within
  // it, or a clock set back).
  for (auto m = pending_minutes_.begin(); m != pending_minutes_.end(); ++m) {
    if (m->time == minute_start) {
      minute_->Seed(*m);
      pending_minutes_.erase(m);
      return;
    }
  }
  Borrowed<Statement> read(db_, read_minutes_, kReadMinutes.c_str());
  if (sqlite3_stmt* s = read.get()) {
    sqlite3_bind_int64(s, 1, static_cast<sqlite3_int64>(minute_start));
    sqlite3_bind_int64(s, 2, static_cast<sqlite3_int64>(minute_start) + 1);
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW)
      minute_->Seed(MinuteFromRow(s));
    else if (rc != SQLITE_DONE)
      ReadFailed(rc);
  } else if (db_ != nullptr) {
    ReadFailed(read.rc());
  }
}

namespace {

// Visits the rows of a query in time order together with the rows of the
// same range held in memory (in time order too); a row in memory stands in
// for a row of the file with the same time when `replaces` is set. The
// result of the last step: SQLITE_DONE when the query was read to its end
// (SQLITE_OK without a query).
template <typename Row>
int Merge(sqlite3_stmt* s, Row (*from_row)(sqlite3_stmt*), const std::vector<Row>& memory,
          bool replaces, const std::function<void(const Row&)>& visit) {
  size_t i = 0;
  int rc = SQLITE_OK;
  while (s != nullptr && (rc = sqlite3_step(s)) == SQLITE_ROW) {
    const Row row = from_row(s);
    bool replaced = false;
    for (; i < memory.size() && memory[i].time <= row.time; ++i) {
      if (memory[i].time < row.time || replaces) visit(memory[i]);
      if (memory[i].time == row.time && replaces) replaced = true;
      if (memory[i].time == row.time && !replaces) break;
    }
    if (!replaced) visit(row);
  }
  for (; i < memory.size(); ++i) visit(memory[i]);
  return rc;
}

}  // namespace

bool Tarchive::ForEachSample(std::time_t from, std::time_t to,
                             const std::function<void(const TarchiveSample&)>& visit) const {
  if (from >= to) return true;
  std::vector<TarchiveSample> memory;
  for (const TarchiveSample& sample : pending_)
    if (sample.time >= from && sample.time < to) memory.push_back(sample);
  std::stable_sort(
      memory.begin(), memory.end(),
      [](const TarchiveSample& a, const TarchiveSample& b) { return a.time < b.time; });
  Borrowed<Statement> read(db_, read_samples_,
                           (has_source_ ? kReadSamples : kReadSamplesV1).c_str());
  if (sqlite3_stmt* s = read.get()) {
    sqlite3_bind_int64(s, 1, static_cast<sqlite3_int64>(from));
    sqlite3_bind_int64(s, 2, static_cast<sqlite3_int64>(to));
  }
  const int rc = Merge<TarchiveSample>(read.get(), SampleFromRow, memory, false, visit);
  if (db_ == nullptr || (read.get() != nullptr && rc == SQLITE_DONE)) return true;
  ReadFailed(read.get() != nullptr ? rc : read.rc());
  return false;
}

bool Tarchive::ForEachMinute(std::time_t from, std::time_t to,
                             const std::function<void(const TarchiveMinute&)>& visit) const {
  if (from >= to) return true;
  // The minutes held in memory stand in for their rows in the file, which
  // are missing or hold them as they were at the last commit.
  std::vector<TarchiveMinute> memory;
  for (const TarchiveMinute& m : pending_minutes_)
    if (m.time >= from && m.time < to) memory.push_back(m);
  const std::optional<TarchiveMinute> current = CurrentMinute();
  if (current && current->time >= from && current->time < to) memory.push_back(*current);
  std::sort(memory.begin(), memory.end(),
            [](const TarchiveMinute& a, const TarchiveMinute& b) { return a.time < b.time; });
  Borrowed<Statement> read(db_, read_minutes_, kReadMinutes.c_str());
  if (sqlite3_stmt* s = read.get()) {
    sqlite3_bind_int64(s, 1, static_cast<sqlite3_int64>(from));
    sqlite3_bind_int64(s, 2, static_cast<sqlite3_int64>(to));
  }
  const int rc = Merge<TarchiveMinute>(read.get(), MinuteFromRow, memory, true, visit);
  if (db_ == nullptr || (read.get() != nullptr && rc == SQLITE_DONE)) return true;
  ReadFailed(read.get() != nullptr ? rc : read.rc());
  return false;
}

std::vector<TarchiveAltitudeChange> Tarchive::AltitudeChanges(std::time_t from,
                                                              std::time_t to) const {
  std::vector<TarchiveAltitudeChange> changes;
  if (from >= to) return changes;
  if (db_ != nullptr) {
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(db_,
                                "SELECT time, old_altitude, new_altitude FROM altitude_change "
                                "WHERE time >= ? AND time < ? ORDER BY time, rowid",
                                -1, &s, nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_bind_int64(s, 1, static_cast<sqlite3_int64>(from));
      sqlite3_bind_int64(s, 2, static_cast<sqlite3_int64>(to));
      while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        changes.push_back({static_cast<std::time_t>(sqlite3_column_int64(s, 0)),
                           sqlite3_column_double(s, 1), sqlite3_column_double(s, 2)});
    }
    sqlite3_finalize(s);
    // A file of the first version has no such table: it has no changes.
    int version = 0;
    if (rc != SQLITE_DONE && !(ReadVersion(db_, &version) == SQLITE_OK && version < 1))
      ReadFailed(rc);
  }
  for (const TarchiveAltitudeChange& change : pending_altitude_changes_)
    if (change.time >= from && change.time < to) changes.push_back(change);
  std::stable_sort(changes.begin(), changes.end(),
                   [](const TarchiveAltitudeChange& a, const TarchiveAltitudeChange& b) {
                     return a.time < b.time;
                   });
  return changes;
}

std::vector<TarchiveSample> Tarchive::Samples(std::time_t from, std::time_t to) const {
  std::vector<TarchiveSample> rows;
  ForEachSample(from, to, [&rows](const TarchiveSample& s) { rows.push_back(s); });
  return rows;
}

std::vector<TarchiveMinute> Tarchive::Minutes(std::time_t from, std::time_t to) const {
  std::vector<TarchiveMinute> rows;
  ForEachMinute(from, to, [&rows](const TarchiveMinute& m) { rows.push_back(m); });
  return rows;
}

std::optional<TarchiveMinute> Tarchive::NearestMinute(std::time_t t, int within) const {
  if (within < 0) return std::nullopt;
  std::optional<TarchiveMinute> best;
  // Minutes come in time order, so on a tie the earlier one stays.
  ForEachMinute(t - within, t + within + 1, [&best, t](const TarchiveMinute& m) {
    const auto distance = [t](std::time_t x) { return x > t ? x - t : t - x; };
    if (!best || distance(m.time) < distance(best->time)) best = m;
  });
  return best;
}

std::optional<TarchiveMinute> Tarchive::CurrentMinute() const {
  if (minute_ == nullptr || minute_->count == 0) return std::nullopt;
  return minute_->Summary();
}

std::optional<TarchiveSample> Tarchive::LastSample() const {
  if (last_ || db_ == nullptr) return last_;
  std::optional<TarchiveSample> last;
  sqlite3_stmt* s = nullptr;
  int rc =
      sqlite3_prepare_v2(db_,
                         (std::string(has_source_ ? kReadSamplesColumns : kReadSamplesColumnsV1) +
                          " ORDER BY time DESC LIMIT 1")
                             .c_str(),
                         -1, &s, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(s);
  if (rc == SQLITE_ROW)
    last = SampleFromRow(s);
  else if (rc != SQLITE_DONE)
    ReadFailed(rc);
  sqlite3_finalize(s);
  return last;
}

std::optional<std::time_t> Tarchive::SetBackWithin(std::time_t from, std::time_t to) const {
  for (auto set_back = set_backs_.rbegin(); set_back != set_backs_.rend(); ++set_back) {
    // The doubled minutes: from the one set back to up to the last one
    // before the set-back, both whole.
    if (MinuteOf(set_back->to) < to && MinuteOf(set_back->from) + 60 > from) return set_back->to;
  }
  return std::nullopt;
}

std::optional<std::time_t> Tarchive::FirstMinuteTime() const {
  std::optional<std::time_t> first;
  if (db_ != nullptr) {
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(db_, "SELECT min(time) FROM minute", -1, &s, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(s);
    if (rc == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL)
      first = static_cast<std::time_t>(sqlite3_column_int64(s, 0));
    else if (rc != SQLITE_ROW)
      ReadFailed(rc);
    sqlite3_finalize(s);
  }
  const std::optional<TarchiveMinute> current = CurrentMinute();
  if (current && (!first || current->time < *first)) first = current->time;
  return first;
}

namespace {

// name made absolute, its folder without links or "..": how two names of a
// file that does not exist yet are compared.
std::string AbsoluteName(const std::string& name) {
  const size_t slash = name.rfind('/');
  std::string folder = slash == std::string::npos ? "." : name.substr(0, slash);
  if (folder.empty()) folder = "/";
  const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  char resolved[PATH_MAX];
  if (::realpath(folder.c_str(), resolved) == nullptr) return name;
  return std::string(resolved) + (resolved[1] == '\0' ? "" : "/") + base;
}

}  // namespace

bool Tarchive::IsOwnFile(const std::string& name) const {
  if (path_.empty() || name.empty()) return false;
  struct stat chosen;
  const bool exists = ::stat(name.c_str(), &chosen) == 0;
  const std::string absolute = AbsoluteName(name);
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    const std::string own = path_ + suffix;
    struct stat info;
    if (exists && ::stat(own.c_str(), &info) == 0) {
      if (info.st_dev == chosen.st_dev && info.st_ino == chosen.st_ino) return true;
    } else if (absolute == AbsoluteName(own)) {
      return true;
    }
  }
  return false;
}

#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class Clock;
class Dialogs;
struct sqlite3;

// Which source a sample came from: the module (with its raw words) or a
// kernel IIO sensor. The numbers are those of column `sample.source`.
enum class TarchiveSource : uint8_t { kModule = 0, kIio = 1 };

// One good sample as the archive keeps it (a row of table `sample`).
struct TarchiveSample {
  std::time_t time = 0;  // calendar seconds
  TarchiveSource source = TarchiveSource::kModule;
  // The raw words; a row without them (an IIO sensor's) has them NULL, read
  // back as has_words false and 0.
  bool has_words = true;
  int32_t d1 = 0;
  int32_t d2 = 0;
  double pressure = 0;            // local pressure [mbar]
  double temperature = 0;         // [degrees C]
  double sea_level_pressure = 0;  // [mbar]
  double altitude = 0;            // [m]
};

// The summary of one minute that has samples (a row of table `minute`).
struct TarchiveMinute {
  std::time_t time = 0;  // start of the minute, a multiple of 60
  int count = 0;         // samples in the minute
  double sea_level_pressure_min = 0, sea_level_pressure_mean = 0, sea_level_pressure_max = 0;
  double pressure_min = 0, pressure_mean = 0, pressure_max = 0;
  double temperature_min = 0, temperature_mean = 0, temperature_max = 0;
};

// One change of the altitude setting (a row of table `altitude_change`).
struct TarchiveAltitudeChange {
  std::time_t time = 0;                       // calendar seconds
  double old_altitude = 0, new_altitude = 0;  // [m]
};

// The clock set back while recording: a sample came at `to` after one at
// `from`. The record then holds the time between them twice, the samples of
// both stretches in the same minutes.
struct TarchiveSetBack {
  std::time_t from = 0, to = 0;
};

// The pressure record: every good sample in an SQLite file (`barometer.db`
// in the working folder), with a summary per minute kept for ever and the
// samples for at least kSampleRetentionDays.
//
// Writing never waits and never throws: commits are batched (a killed
// process loses at most the samples of its last 10 seconds), the file
// is in WAL mode, and a failure (folder not writable, disk full, a file that
// is not a database, a second program on the same folder) is reported once,
// after which the archive stops recording and the program runs on. After a
// write that failed (a full disk, an I/O error) it tries again with the
// first sample a minute later, and every minute after; once a write goes in
// it records on and says so once. The samples in between are not kept. A file
// that cannot be written (a read-only file or folder, another program
// recording into it, a file of a newer version of the program) is opened
// for reading only, so that what it holds is still shown.
//
// The schema's version is the file's user_version; an older file is brought
// up to this version when it is opened for recording, without a change to
// the rows it holds.
//
// Readers see everything recorded so far, the samples of the batch not yet
// committed and the minute still being gathered included. Times are
// calendar seconds; ranges are half-open [from, to) and come in time order.
class Tarchive {
 public:
  static constexpr const char* kFileName = "barometer.db";
  static constexpr int kCommitSeconds = 5;
  static constexpr int kSampleRetentionDays = 7;
  // The version of the schema this program writes.
  static constexpr int kSchemaVersion = 2;
  // A clock set back by this many seconds or less is no set-back: the few
  // seconds a time service takes back put no two times into one minute that
  // a reader could tell apart.
  static constexpr int kSetBackSeconds = 60;
  // How long after a failed write the next try comes.
  static constexpr int kRetrySeconds = 60;

  // clock gives the time of Record, of the batching and of the retention;
  // dialogs (may be null) receives the one box, when ShowNotice shows it.
  explicit Tarchive(Clock& clock, Dialogs* dialogs = nullptr);
  ~Tarchive();  // Close()
  Tarchive(const Tarchive&) = delete;
  Tarchive& operator=(const Tarchive&) = delete;

  // Opens (or creates) the file. False when it cannot be recorded into (it
  // is then read, when it can be); a corrupt file is renamed aside and a new
  // one started. Either way the box waits for ShowNotice.
  bool Open(const std::string& path = kFileName);
  // Opens another program's record for reading only (the recording
  // service's, for its viewer): nothing is ever written, no lock is taken,
  // and no box is made. False when it cannot be read.
  bool OpenForReading(const std::string& path);
  // Commits what is pending and closes the file; a normal close loses
  // nothing. Safe to call twice.
  void Close();

  // True while samples go into the file: opened and no failure since.
  bool IsRecording() const;
  // True when the file was opened for reading only.
  bool IsReadOnly() const { return read_only_ && db_ != nullptr; }
  // The box the record has to show: its first failure, or a damaged file
  // put aside; one at most. It waits for ShowNotice, which the program calls
  // from its event loop and never inside a measurement tick, so that the
  // measurement and the recording go on while the box is open.
  bool HasNotice() const { return notice_.has_value(); }
  void ShowNotice();
  // The reason recording stopped (or never started), empty while recording
  // or before Open.
  const std::string& FailureText() const { return failure_; }
  const std::string& Path() const { return path_; }
  // Whether name is the record's file or one of SQLite's files beside it
  // (-wal, -shm, -journal), under whatever name (a link, another way to the
  // folder): writing there would destroy the record. False before Open.
  bool IsOwnFile(const std::string& name) const;

  // Records one good sample of the module at the clock's present time.
  void Record(int32_t d1, int32_t d2, double pressure, double temperature,
              double sea_level_pressure, double altitude);
  // The same for any source; d1 and d2 empty for a source without raw words
  // (both are kept only when both are given).
  void Record(TarchiveSource source, std::optional<int32_t> d1, std::optional<int32_t> d2,
              double pressure, double temperature, double sea_level_pressure, double altitude);
  // Records one good sample at sample.time (imports, tests, benchmarks).
  void Append(const TarchiveSample& sample);
  // Commits the pending batch now.
  void Flush();
  // How often the batch goes in (a sample waits at most about twice this
  // long for the file) and how many pages the log holds before it is
  // copied back into the file; kCommitSeconds and 1000 pages unless set.
  // Longer batches write fewer pages of the log again and again, for the
  // readings a killed program loses. Set before Open.
  void SetBatchPolicy(int commit_seconds, int checkpoint_frames);
  // Records a change of the altitude setting at the clock's present time.
  void RecordAltitudeChange(double old_altitude, double new_altitude);

  // Reads the samples / minutes of [from, to) in time order, one call of
  // visit per row, without holding them all in memory. False when the file
  // could not be read to the end (the rows read are visited all the same,
  // and the failure is reported once, as the record's box).
  bool ForEachSample(std::time_t from, std::time_t to,
                     const std::function<void(const TarchiveSample&)>& visit) const;
  bool ForEachMinute(std::time_t from, std::time_t to,
                     const std::function<void(const TarchiveMinute&)>& visit) const;
  // The changes of the altitude setting in [from, to), in time order.
  std::vector<TarchiveAltitudeChange> AltitudeChanges(std::time_t from, std::time_t to) const;
  // Grows by one with every change recorded.
  uint64_t AltitudeChangeCount() const { return altitude_change_count_; }
  // The same, collected.
  std::vector<TarchiveSample> Samples(std::time_t from, std::time_t to) const;
  std::vector<TarchiveMinute> Minutes(std::time_t from, std::time_t to) const;

  // The minute whose start is nearest to t, within +-within seconds (on a
  // tie, the earlier one); nothing when there is none.
  std::optional<TarchiveMinute> NearestMinute(std::time_t t, int within) const;
  // The minute still being gathered (not necessarily written yet).
  std::optional<TarchiveMinute> CurrentMinute() const;
  // The last sample on record (recorded now or before), and the start of the
  // first minute on record.
  std::optional<TarchiveSample> LastSample() const;
  std::optional<std::time_t> FirstMinuteTime() const;
  // The set-backs of the clock seen since Open (against the last sample on
  // record too), in the order they came; a sample never replaces another,
  // so nothing is lost by them, but the minutes they doubled mix two times.
  const std::vector<TarchiveSetBack>& SetBacks() const { return set_backs_; }
  // Where the clock was set back to, for the latest set-back whose doubled
  // time meets [from, to); nothing when none does.
  std::optional<std::time_t> SetBackWithin(std::time_t from, std::time_t to) const;
  // Grows by one with every sample recorded, so a reader can tell cheaply
  // whether anything is new.
  uint64_t Revision() const { return revision_; }

 private:
  struct Accumulator;
  struct Statement;
  struct Checkpointer;

  struct Notice {
    bool error = true;
    std::string text;
  };

  // Opens path and prepares it for recording; false with the reason, and
  // corrupt set when the file is damaged or is no database, newer when it
  // is of a newer version of the program.
  bool OpenFile(std::string& reason, bool& corrupt, bool& newer);
  // Opens path for reading only; false when it cannot be read.
  bool OpenReadOnly();
  void CloseFile();
  void StartCheckpointer();
  void StopCheckpointer();
  // Renames a damaged file aside and starts a new one; false when that fails.
  bool StartOver(const std::string& what);
  // Handles the result code of a failed write.
  void WriteFailed(int rc);
  // Whether a write that failed is to be tried again now.
  bool RetryDue() const;
  // Recording stops (or never starts) for the reason in text; then says
  // what the program does now.
  void Fail(const std::string& text, const std::string& then);
  // Keeps the one box until ShowNotice (a later one is dropped).
  void Report(const std::string& text, bool error = true) const;
  // Reports a read that failed with rc.
  void ReadFailed(int rc) const;
  // Writes the pending samples and minutes in one transaction.
  void Commit();
  int WriteMinute(const TarchiveMinute& minute);
  // Steps a statement that returns no rows; SQLITE_OK when it ran.
  int Execute(Statement* statement);
  void BeginMinute(std::time_t minute_start);

  Clock& clock_;
  Dialogs* dialogs_;
  std::string path_;
  std::string failure_;
  sqlite3* db_ = nullptr;
  int lock_fd_ = -1;
  Checkpointer* checkpointer_ = nullptr;
  Statement* insert_sample_ = nullptr;
  Statement* write_minute_ = nullptr;
  Statement* prune_ = nullptr;
  // The batch's transaction, prepared once rather than parsed per batch.
  Statement* begin_ = nullptr;
  Statement* commit_ = nullptr;
  Statement* insert_altitude_change_ = nullptr;
  mutable Statement* read_samples_ = nullptr;
  mutable Statement* read_minutes_ = nullptr;
  Accumulator* minute_ = nullptr;  // the minute being gathered, or null
  // The batch not yet in the file: samples, and minutes that ended since.
  std::vector<TarchiveSample> pending_;
  std::vector<TarchiveMinute> pending_minutes_;
  std::vector<TarchiveAltitudeChange> pending_altitude_changes_;
  std::optional<TarchiveSample> last_;
  std::vector<TarchiveSetBack> set_backs_;
  bool recording_ = false;
  bool read_only_ = false;
  // Recording stopped on a failed write and is tried again from retry_at_.
  bool suspended_ = false;
  std::time_t retry_at_ = 0;
  // The file's samples say their source (schema version 2 on): a file of
  // an older version opened for reading only has no such column.
  bool has_source_ = true;
  // The file was opened as it stands, without its log (see OpenReadOnly),
  // and the log held something.
  bool log_unread_ = false;
  // Reads report their failure too, so these change in const calls.
  mutable bool reported_ = false;
  mutable std::optional<Notice> notice_;
  std::time_t batch_start_ = 0;  // clock time of the batch's first sample
  std::time_t last_append_ = 0;  // clock time of the last sample
  std::time_t last_prune_ = 0;
  uint64_t revision_ = 0;
  uint64_t altitude_change_count_ = 0;
  int commit_seconds_ = kCommitSeconds;
  int checkpoint_frames_;
};

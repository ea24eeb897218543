// The pressure record: what recording costs the measurement tick, how much
// slower the program starts with a full record than with none, and how big
// a full record is.
//
// A full record is what a year of running leaves: a minute row for every
// minute of the year and the samples (one a second) of the last 7 days. It is
// made once, in a temporary folder, through the archive itself where it
// would be (the samples) and directly in SQL for the older minutes.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "archive/Tarchive.h"
#include "fakes/ScriptedDialogs.h"
#include "main/Entry.h"
#include "main/Program.h"
#include "platform/Clock.h"
#include "platform/SimulatedModule.h"
#include "platform/SimulatedModulePort.h"
#include "support_full_record.h"
#include "windows/Tintro.h"

namespace {

constexpr std::time_t kEnd = 1735689600;  // the record ends here

struct FullRecord {
  QTemporaryDir dir;
  QString folder;
  std::string path;

  FullRecord() {
    folder = dir.path() + "/full";
    QDir().mkpath(folder);
    path = (folder + "/barometer.db").toStdString();
    WriteFullRecord(path, kEnd);
  }
};

FullRecord& Record() {
  static FullRecord record;
  return record;
}

// Recording into a full record, an hour of ticks a second apart.
void BM_RecordTick(benchmark::State& state) {
  static std::time_t next = kEnd;  // each repetition goes on from the last
  VirtualClock clock(next);
  Tarchive archive(clock);
  archive.Open(Record().path);
  for (auto _ : state) {
    clock.AdvanceSeconds(1);
    const double p = RecordWeather(clock.Now());
    archive.Record(5400000, 8300000, p - 29.7, 20.5, p, 250.3);
  }
  archive.Close();
  next = clock.Now();
}
BENCHMARK(BM_RecordTick)->Iterations(3600)->Repetitions(3)->Unit(benchmark::kMicrosecond);

// The program from its start to the first sample shown, after the splash
// window's detection: with no record (0) or with the full one (1) whose last
// sample is 10 minutes old, so that the history and the chart are refilled.
void BM_StartUp(benchmark::State& state) {
  const bool with_record = state.range(0) == 1;
  QTemporaryDir empty;
  const QString previous = QDir::currentPath();
  QDir::setCurrent(with_record ? Record().folder : empty.path());
  VirtualClock clock(kEnd + 600);
  SimulatedModule module(clock, 11);
  module.SetConversionTimeMs(0);
  SimulatedModulePort port(module);
  ScriptedDialogs dialogs;
  for (auto _ : state) {
    BeginProgram(port, clock, dialogs);
    CreateWindows();
    TWintro* intro = Program().Wintro;
    for (int tick = 0; tick < 20 && intro->Timer1->isActive(); ++tick) {
      clock.AdvanceMs(300);
      intro->OnTimer();
    }
    state.PauseTiming();
    if (!Program().archive->IsRecording()) state.SkipWithError("the record did not open");
    EndProgram();
    clock.SetNow(kEnd + 600);
    state.ResumeTiming();
  }
  QDir::setCurrent(previous);
}
BENCHMARK(BM_StartUp)->ArgName("record")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The size of the full record: in all, and the part each table (with its
// index) takes.
void BM_RecordSize(benchmark::State& state) {
  const std::string& path = Record().path;
  for (auto _ : state) benchmark::DoNotOptimize(QFile(QString::fromStdString(path)).size());
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT name IN ('sample', 'sample_time'), sum(pgsize) FROM dbstat "
                         "GROUP BY 1",
                         -1, &s, nullptr) == SQLITE_OK) {
    while (sqlite3_step(s) == SQLITE_ROW) {
      const double mib = static_cast<double>(sqlite3_column_int64(s, 1)) / (1024 * 1024);
      state.counters[sqlite3_column_int(s, 0) ? "week_of_samples_MiB" : "year_of_minutes_MiB"] =
          mib;
    }
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  state.counters["file_MiB"] =
      static_cast<double>(QFile(QString::fromStdString(path)).size()) / (1024 * 1024);
}
BENCHMARK(BM_RecordSize)->Iterations(1);

}  // namespace

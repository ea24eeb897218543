// The main window's side of the pressure record: each sample handed over,
// and the history and chart refilled from the record at the start.

#include "archive/Tarchive.h"
#include "chart/Plot_time.h"
#include "chart/Tchart.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "sensor/Tsensor.h"

namespace {

// An hourly history entry is the minute on record nearest to its hour,
// taken within this many seconds of it.
constexpr int kHistoryWithin = 600;
// The chart's plots hold this much of the record.
constexpr int kChartSeconds = 3600;

}  // namespace

void TWmain::ArchiveSample() {
  Tarchive* archive = Program().archive;
  Tsensor* sensor = Sensor();
  if (archive == nullptr || sensor == nullptr) return;
  if (!last_sample_good) {
    // Nothing new: what is pending goes to the file now.
    archive->Flush();
  } else {
    // Entry 0 of the history is this sample; the rest comes from the record.
    if (archive_refill_pending && !loading_settings) RefillFromArchive();
    archive->Record(sensor->GetD1(), sensor->GetD2(), p_local, t_local, p_sea, alt_shown);
  }
  // A box about the record (from its opening, this sample, or a window's
  // read) comes once this tick is over: a damaged file put aside is being
  // recorded into by then, and the ticks go on behind the box.
  ShowArchiveNotice();
}

void TWmain::ShowArchiveNotice() {
  Tarchive* archive = Program().archive;
  if (archive == nullptr || !archive->HasNotice() || archive_notice_asked) return;
  archive_notice_asked = true;
  ShowLater([this] {
    archive_notice_asked = false;
    if (Tarchive* record = Program().archive) record->ShowNotice();
  });
}

void TWmain::RefillFromArchive() {
  archive_refill_pending = false;
  Tarchive* archive = Program().archive;
  Clock* clock = Program().clock;
  if (archive == nullptr || clock == nullptr) return;
  const std::time_t now = clock->Now();

  if (meteo) {
    double entries[Tmeteo::kHistorySize];
    entries[0] = meteo->GetHistory(0);
    for (int k = 1; k < Tmeteo::kHistorySize; ++k) {
      const auto minute = archive->NearestMinute(
          now - static_cast<std::time_t>(k) * Tmeteo::kHistoryStep, kHistoryWithin);
      entries[k] = minute ? minute->sea_level_pressure_mean : Tmeteo::kEmpty;
    }
    meteo->RestoreHistory(entries);
  }

  TWchart* chart = ChartWindow();
  if (chart == nullptr) return;
  archive->ForEachSample(now - kChartSeconds, now, [chart](const TarchiveSample& s) {
    const auto t = static_cast<double>(s.time);
    if (chart->pressure_plot) chart->pressure_plot->AddSample(s.pressure, t);
    if (chart->temperature_plot) chart->temperature_plot->AddSample(s.temperature, t);
    if (chart->altitude_plot) chart->altitude_plot->AddSample(s.altitude, t);
  });
  chart->RefreshView(true);
}

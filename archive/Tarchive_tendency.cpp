#include "archive/Tarchive_tendency.h"

#include "archive/Tarchive.h"

TendencyRecord TendencyRecordOf(const Tarchive* archive) {
  TendencyRecord record;
  if (archive == nullptr) return record;
  record.nearest_minute = [archive](std::time_t t, int within) -> std::optional<TendencyMeans> {
    const std::optional<TarchiveMinute> m = archive->NearestMinute(t, within);
    if (!m) return std::nullopt;
    return TendencyMeans{m->time, m->sea_level_pressure_mean, m->pressure_mean};
  };
  record.first_minute = [archive] { return archive->FirstMinuteTime(); };
  record.set_back = [archive](std::time_t from, std::time_t to) {
    return archive->SetBackWithin(from, to);
  };
  return record;
}

ThreeHourTendency RecordTendency(const Tarchive* archive, std::time_t now) {
  return TendencyOf(TendencyRecordOf(archive), now);
}

#include "main/Record_guard.h"

#include <utility>

#include "archive/Tarchive.h"

Record_guard::Record_guard(Dialogs& dialogs, std::function<const Tarchive*()> record)
    : dialogs_(dialogs), record_(std::move(record)) {}

bool Record_guard::SaveFileName(std::string& file_name, const std::string& default_ext,
                                const std::string& title) {
  std::string chosen = file_name;
  if (!dialogs_.SaveFileName(chosen, default_ext, title)) return false;
  if (RefusesToWrite(chosen)) return false;
  file_name = chosen;
  return true;
}

bool Record_guard::RefusesToWrite(const std::string& file_name) {
  const Tarchive* record = record_ ? record_() : nullptr;
  if (record == nullptr || !record->IsOwnFile(file_name)) return false;
  dialogs_.Error("Error : " + file_name +
                 " is the pressure record; writing it would destroy the record. Choose "
                 "another name.");
  return true;
}

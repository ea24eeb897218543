#pragma once

#include <functional>
#include <string>

#include "platform/Dialogs.h"

class Tarchive;

// The program's dialogs as its windows reach them. A name chosen in a save
// dialog that is the pressure record's own file (or its -wal, -shm or
// -journal) is refused with an error box, and the dialog counts as
// cancelled: the export, the data log, a saved settings file or a picture
// would otherwise be written over the record. Everything else goes to the
// dialogs it guards unchanged.
class Record_guard : public Dialogs {
 public:
  // record gives the record at the moment a name is chosen (null: none).
  Record_guard(Dialogs& dialogs, std::function<const Tarchive*()> record);

  void Error(const std::string& text) override { dialogs_.Error(text); }
  void Information(const std::string& text) override { dialogs_.Information(text); }
  bool Confirm(const std::string& text) override { return dialogs_.Confirm(text); }
  bool OpenFileName(std::string& file_name, const std::string& default_ext,
                    const std::string& title = std::string()) override {
    return dialogs_.OpenFileName(file_name, default_ext, title);
  }
  bool SaveFileName(std::string& file_name, const std::string& default_ext,
                    const std::string& title = std::string()) override;
  // The record's own files, refused with the error box.
  bool RefusesToWrite(const std::string& file_name) override;

 private:
  Dialogs& dialogs_;
  std::function<const Tarchive*()> record_;
};

#pragma once

#include "platform/Dialogs.h"

class QWidget;

// Real message boxes and file dialogs. The parent is looked up at each call
// (the active window), so the boxes stay centred on what the user sees.
class QtDialogs : public Dialogs {
 public:
  void Error(const std::string& text) override;
  void Information(const std::string& text) override;
  bool Confirm(const std::string& text) override;
  bool OpenFileName(std::string& file_name, const std::string& default_ext) override;
  bool SaveFileName(std::string& file_name, const std::string& default_ext) override;
};

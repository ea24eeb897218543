#pragma once

#include <string>

// Every message box and file dialog of the program goes through this
// interface: QtDialogs shows real ones, tests use ScriptedDialogs.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Modal error box with one OK button.
  virtual void Error(const std::string& text) = 0;
  // Modal information box with one OK button.
  virtual void Information(const std::string& text) = 0;
  // Modal confirmation with Yes and No; true for Yes.
  virtual bool Confirm(const std::string& text) = 0;
  // Open and save dialogs. file_name holds the initial name and receives the
  // chosen one; false when the user cancels (file_name is then unchanged).
  // The dialog offers the files of default_ext (one extension, or several
  // separated by blanks, the first being the default) and is titled by what
  // it does (the program's name when title is empty).
  virtual bool OpenFileName(std::string& file_name, const std::string& default_ext,
                            const std::string& title = std::string()) = 0;
  virtual bool SaveFileName(std::string& file_name, const std::string& default_ext,
                            const std::string& title = std::string()) = 0;
  // True, after saying why in an error box, when a name chosen somewhere
  // other than SaveFileName (a print dialog's output file) must not be
  // written; nothing is refused unless a wrapper knows better.
  virtual bool RefusesToWrite(const std::string& /*file_name*/) { return false; }
};

#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "components/QtDialogs.h"
#include "platform/Dialogs.h"

// Every file dialog of the program, as the user opens it from its window.
struct ProgramFileDialog {
  const char* name;
  std::function<void()> open;
};
std::vector<ProgramFileDialog> EveryFileDialog();

// Cancels each modal file dialog once it has shown its folder (the files
// listed, their icons and kinds looked up), and closes any message box,
// counting both.
class FileDialogCanceller : public QObject {
 public:
  FileDialogCanceller();
  int Cancelled() const { return cancelled_; }
  int BoxesClosed() const { return boxes_closed_; }

 private:
  void Poll();

  QTimer timer_;
  int cancelled_ = 0;
  int boxes_closed_ = 0;
  // Polls left before the dialog shown is cancelled; -1 while none is.
  int countdown_ = -1;
};

// Real file dialogs, and the message boxes of the dialogs given.
class RealFileDialogs : public Dialogs {
 public:
  explicit RealFileDialogs(Dialogs& boxes) : boxes_(boxes) {}
  void Error(const std::string& text) override { boxes_.Error(text); }
  void Information(const std::string& text) override { boxes_.Information(text); }
  bool Confirm(const std::string& text) override { return boxes_.Confirm(text); }
  bool OpenFileName(std::string& file_name, const std::string& default_ext,
                    const std::string& title = std::string()) override {
    return real_.OpenFileName(file_name, default_ext, title);
  }
  bool SaveFileName(std::string& file_name, const std::string& default_ext,
                    const std::string& title = std::string()) override {
    return real_.SaveFileName(file_name, default_ext, title);
  }

 private:
  Dialogs& boxes_;
  QtDialogs real_;
};

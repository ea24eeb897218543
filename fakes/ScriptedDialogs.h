#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

// Dialogs for tests: records every call and answers from queues.
// An empty confirmation queue answers No; an empty file queue cancels.
class ScriptedDialogs : public Dialogs {
 public:
  enum class Kind { Error, Information, Confirm, OpenFile, SaveFile };
  struct Call {
    Kind kind;
    std::string text;                        // the message, or the initial file name
    std::string title = std::string();       // a file dialog's title
    std::string extensions = std::string();  // a file dialog's extensions
  };

  void Error(const std::string& text) override { Record(Kind::Error, text); }
  void Information(const std::string& text) override { Record(Kind::Information, text); }
  bool Confirm(const std::string& text) override {
    Record(Kind::Confirm, text);
    if (confirm_answers.empty()) return false;
    const bool answer = confirm_answers.front();
    confirm_answers.pop_front();
    return answer;
  }
  bool OpenFileName(std::string& file_name, const std::string& extensions,
                    const std::string& title = std::string()) override {
    return NextFile(Kind::OpenFile, file_name, extensions, title);
  }
  bool SaveFileName(std::string& file_name, const std::string& extensions,
                    const std::string& title = std::string()) override {
    return NextFile(Kind::SaveFile, file_name, extensions, title);
  }

  int CountOf(Kind kind) const {
    int n = 0;
    for (const Call& c : calls) n += c.kind == kind ? 1 : 0;
    return n;
  }

  std::vector<Call> calls;
  std::deque<bool> confirm_answers;
  std::deque<std::optional<std::string>> file_answers;  // nullopt = Cancel
  // Called after each call is recorded, while the "box" is still open.
  std::function<void(const Call&)> on_call;

 private:
  void Record(Kind kind, const std::string& text, const std::string& extensions = std::string(),
              const std::string& title = std::string()) {
    calls.push_back({kind, text, title, extensions});
    if (on_call) on_call(calls.back());
  }
  bool NextFile(Kind kind, std::string& file_name, const std::string& extensions,
                const std::string& title) {
    Record(kind, file_name, extensions, title);
    if (file_answers.empty()) return false;
    std::optional<std::string> answer = file_answers.front();
    file_answers.pop_front();
    if (!answer) return false;
    file_name = *answer;
    return true;
  }
};

#pragma once

#include <string>

// The service's command line:
//   --folder DIR   the folder of setup.ini, barometer.ini and the record
//                  (default: the current folder)
//   --simulated    the simulated module instead of the configured port
//   --help, --version
class Tservice_options {
 public:
  // What Parse found: run the service, or end at once with an exit status
  // (0 after --help or --version, 2 for a refused command line or folder).
  static constexpr int kRun = -1;
  static constexpr int kUsageError = 2;

  // Parses argv[1..] and checks the folder. The text for the user (usage,
  // version, or the one-line reason of a refusal) goes to Message().
  int Parse(int argc, const char* const* argv);

  // The folder as an absolute path, once Parse said kRun.
  const std::string& Folder() const { return folder_; }
  bool Simulated() const { return simulated_; }
  // What to print: to standard output after --help and --version, to
  // standard error after a refusal.
  const std::string& Message() const { return message_; }

  static std::string Usage(const std::string& program);
  static std::string VersionText();

 private:
  // Refuses with a one-line reason: kUsageError.
  int Refuse(const std::string& program, const std::string& reason);
  // Makes folder_ absolute and checks that the service can work there.
  bool CheckFolder(std::string* reason);

  std::string folder_ = ".";
  bool simulated_ = false;
  std::string message_;
};

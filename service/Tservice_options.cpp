#include "service/Tservice_options.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef BAROMETER_VERSION
#define BAROMETER_VERSION "unknown"
#endif

std::string Tservice_options::Usage(const std::string& program) {
  return "Usage: " + program +
         " [--folder DIR] [--simulated]\n"
         "Measures, records, warns and publishes without a window, as a service.\n"
         "\n"
         "  --folder DIR   folder of setup.ini, barometer.ini and the record\n"
         "                 barometer.db (default: the current folder)\n"
         "  --simulated    run on the simulated module instead of the configured port\n"
         "  --help         show this text and end\n"
         "  --version      show the version and end\n"
         "\n"
         "SIGHUP reads the settings files again; SIGTERM and SIGINT end the service.\n";
}

std::string Tservice_options::VersionText() {
  return std::string("barometerd ") + BAROMETER_VERSION + "\n";
}

int Tservice_options::Refuse(const std::string& program, const std::string& reason) {
  message_ = program + ": " + reason + " (see " + program + " --help)\n";
  return kUsageError;
}

int Tservice_options::Parse(int argc, const char* const* argv) {
  std::string program = argc > 0 && argv[0] != nullptr ? argv[0] : "barometerd";
  const size_t slash = program.rfind('/');
  if (slash != std::string::npos) program.erase(0, slash + 1);
  bool folder_given = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      message_ = Usage(program);
      return 0;
    }
    if (arg == "--version") {
      message_ = VersionText();
      return 0;
    }
    if (arg == "--simulated") {
      simulated_ = true;
    } else if (arg == "--folder" || arg.rfind("--folder=", 0) == 0) {
      if (folder_given) return Refuse(program, "--folder given twice");
      std::string value;
      if (arg == "--folder") {
        if (i + 1 >= argc) return Refuse(program, "--folder needs a folder");
        value = argv[++i];
      } else {
        value = arg.substr(std::strlen("--folder="));
      }
      if (value.empty()) return Refuse(program, "--folder needs a folder");
      folder_ = value;
      folder_given = true;
    } else if (arg.rfind("-", 0) == 0) {
      return Refuse(program, "unknown option " + arg);
    } else {
      return Refuse(program, "unexpected argument " + arg);
    }
  }
  std::string reason;
  if (!CheckFolder(&reason)) return Refuse(program, reason);
  return kRun;
}

bool Tservice_options::CheckFolder(std::string* reason) {
  char resolved[PATH_MAX];
  if (::realpath(folder_.c_str(), resolved) == nullptr) {
    *reason = "folder " + folder_ + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode)) {
    *reason = "folder " + folder_ + ": not a folder";
    return false;
  }
  // The record and the settings are written there; the record's files
  // (-wal, -shm) are made beside it. The effective rights: those the
  // service will write with.
  if (::faccessat(AT_FDCWD, resolved, R_OK | W_OK | X_OK, AT_EACCESS) != 0) {
    *reason = "folder " + folder_ + ": " + std::strerror(errno);
    return false;
  }
  folder_ = resolved;
  return true;
}

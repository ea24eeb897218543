#pragma once

#include <cstddef>
#include <string>

// A whole file read without ever blocking on it, for settings files: what
// is not a regular file (a FIFO, a device, a socket, a folder, or a link to
// one of them) is refused before it is opened, and a file larger than a
// limit is refused as well, so that neither a FIFO nobody writes nor a link
// to /dev/zero can hold up or flood a start.
struct Tfile_read {
  enum class Status {
    Read,     // `content` holds the whole file
    Missing,  // no such file (nor anything at the end of a link)
    Refused,  // not a regular file, or too large
    Failed,   // it could not be opened or read (`reason` says why)
  };
  Status status = Status::Missing;
  std::string content;
  // Why it was not read, to follow "<file>: " or "because":
  // "it is a FIFO, not a settings file", "Permission denied", ...
  std::string reason;
  // The whole sentence for a box or a log line: "setup.ini is a FIFO, not a
  // settings file", "Unable to open input file setup.ini: Permission
  // denied", "barometer.ini is larger than 1 MB, too large for a settings
  // file".
  std::string message;

  bool Ok() const { return status == Status::Read; }
};

// The largest settings file read: far beyond any real one.
constexpr size_t kSettingsFileLimit = 1 << 20;

// Reads `path` whole, refusing what is not a regular file and what holds
// more than `limit` bytes. The path is named in the messages as given.
Tfile_read ReadRegularFile(const std::string& path, size_t limit = kSettingsFileLimit);

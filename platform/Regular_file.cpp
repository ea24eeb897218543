#include "platform/Regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// What a file of this mode is, in words; empty for a regular file.
std::string KindOf(mode_t mode) {
  if (S_ISREG(mode)) return std::string();
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string LimitText(size_t limit) {
  if (limit >= (1u << 20) && limit % (1u << 20) == 0) return std::to_string(limit >> 20) + " MB";
  if (limit >= 1024 && limit % 1024 == 0) return std::to_string(limit >> 10) + " KB";
  return std::to_string(limit) + " bytes";
}

Tfile_read Refused(const std::string& path, const std::string& what) {
  Tfile_read result;
  result.status = Tfile_read::Status::Refused;
  result.reason = "it is " + what;
  result.message = path + " is " + what;
  return result;
}

Tfile_read Failed(const std::string& path, const char* doing, int error) {
  Tfile_read result;
  result.status = error == ENOENT ? Tfile_read::Status::Missing : Tfile_read::Status::Failed;
  result.reason = std::strerror(error);
  result.message = std::string("Unable to ") + doing + " input file " + path + ": " + result.reason;
  return result;
}

// The refusal of a file of the given mode, or nothing for a regular one.
bool RefuseKind(const std::string& path, const struct stat& info, bool link, Tfile_read& result) {
  const std::string kind = KindOf(info.st_mode);
  if (kind.empty()) return false;
  result = Refused(path, (link ? "a link to " + kind : kind) + ", not a settings file");
  return true;
}

}  // namespace

Tfile_read ReadRegularFile(const std::string& path, size_t limit) {
  Tfile_read result;
  // What the path names is looked at before it is opened: opening a device
  // can have effects of its own (a serial line's modem lines, a tape).
  struct stat link_info {};
  struct stat info {};
  if (lstat(path.c_str(), &link_info) != 0) return Failed(path, "open", errno);
  const bool link = S_ISLNK(link_info.st_mode);
  if (stat(path.c_str(), &info) != 0) return Failed(path, "open", errno);
  if (RefuseKind(path, info, link, result)) return result;

  // Without blocking, should a FIFO have taken the file's place since.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return Failed(path, "open", errno);
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  if (fstat(fd, &info) != 0) return Failed(path, "read", errno);
  if (RefuseKind(path, info, link, result)) return result;
  const std::string too_large =
      "larger than " + LimitText(limit) + ", too large for a settings file";
  if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > limit)
    return Refused(path, too_large);

  // Up to one byte beyond the limit: a file that grew since is refused too.
  std::string content;
  content.reserve(static_cast<size_t>(info.st_size));
  char buffer[16384];
  while (content.size() <= limit) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return Failed(path, "read", errno);
    }
    if (got == 0) break;
    content.append(buffer, static_cast<size_t>(got));
  }
  if (content.size() > limit) return Refused(path, too_large);
  result.status = Tfile_read::Status::Read;
  result.content = std::move(content);
  return result;
}

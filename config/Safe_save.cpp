// Saving a settings file so that the old one is never harmed, shared by
// setup.ini and barometer.ini.

#include "config/Safe_save.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>

// The file a name leads to: links are followed, also a link whose target
// does not exist yet (saving then creates that target). A name that leads
// nowhere after many links is returned as reached.
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::string link(PATH_MAX, '\0');
    const ssize_t length = readlink(path.c_str(), link.data(), link.size());
    if (length <= 0) return path;
    link.resize(static_cast<size_t>(length));
    // A relative link is relative to the folder that holds it.
    const size_t slash = path.rfind('/');
    if (link[0] != '/' && slash != std::string::npos) link = path.substr(0, slash + 1) + link;
    path = link;
  }
  return path;
}

namespace {

// Writes all of the text to an open descriptor; false on any error.
bool WriteAll(int fd, const std::string& text) {
  const char* data = text.data();
  size_t left = text.size();
  while (left > 0) {
    const ssize_t written = write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written == 0) errno = ENOSPC;  // the system took nothing more
    if (written <= 0) return false;
    data += written;
    left -= static_cast<size_t>(written);
  }
  return true;
}

// Writes the text over the contents of an existing regular file. It goes
// out in one write at the start of the file, padded with line ends (blank
// lines, which loading skips) to the old length, and only then is the file
// cut to the new length. A file of up to one page is written by the system
// whole or not at all, so a kill at any moment leaves the old settings or
// the new ones, never a mixture.
bool WriteFileInPlace(int fd, const std::string& text) {
  struct stat info;
  if (fstat(fd, &info) != 0) return false;
  std::string padded = text;
  if (info.st_size > static_cast<off_t>(padded.size()))
    padded.resize(static_cast<size_t>(std::min<off_t>(info.st_size, 4096)), '\n');
  const char* data = padded.data();
  size_t left = padded.size();
  off_t offset = 0;
  while (left > 0) {
    const ssize_t written = pwrite(fd, data, left, offset);
    if (written < 0 && errno == EINTR) continue;
    if (written == 0) errno = ENOSPC;
    if (written <= 0) return false;
    data += written;
    left -= static_cast<size_t>(written);
    offset += written;
  }
  return fsync(fd) == 0 && ftruncate(fd, static_cast<off_t>(text.size())) == 0 && fsync(fd) == 0;
}

// Writes the text over the contents of an existing file or device.
bool WriteInPlace(const std::string& target, bool regular, const std::string& text,
                  bool private_file) {
  // Non-blocking open: a fifo without a reader fails at once instead of
  // waiting for one; the writes themselves block as usual. A device or fifo
  // is not truncated: it has nothing to cut.
  const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const int flags = fcntl(fd, F_GETFL);
  bool ok = flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
  // A file that may hold a secret is made private to its owner first.
  if (ok && regular && private_file) fchmod(fd, 0600);
  ok = ok && (regular ? WriteFileInPlace(fd, text) : WriteAll(fd, text));
  ok = close(fd) == 0 && ok;
  return ok;
}

}  // namespace

// A temporary file that a save left beside `target` (killed before it could
// rename it) is removed, once no save holds it and it holds nothing but the
// beginning of a saved file: a file of the same name that is no leftover of
// ours stays.
void RemoveStaleTemporary(const std::string& target, const std::string& saved_start) {
  const std::string temporary = target + ".tmp";
  const int fd = open(temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info;
  std::string start(saved_start.size(), '\0');
  ssize_t length = -1;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
    length = read(fd, start.data(), start.size());
  if (length >= 0 && start.compare(0, static_cast<size_t>(length), saved_start, 0,
                                   static_cast<size_t>(length)) == 0)
    unlink(temporary.c_str());
  close(fd);
}

// Saves the text under the name so that the old file is never harmed:
// - a regular file (or none yet) is written beside it under one fixed
//   temporary name and renamed over it once complete and on the disk, so a
//   failure or a kill on the way leaves the old file whole, and at most one
//   stale temporary file, which the next save reuses and the next load
//   removes; the new file keeps the old one's owner, group and mode;
// - a file with more than one name (hard links), or whose owner or group
//   this user cannot give the new file, is written in place, so every name
//   sees the new settings and the file stays its owner's;
// - a device, fifo or socket is written in place, never replaced;
// - links are written through, a dangling one creating its target.
// An existing file is written only if this user could open it for writing;
// a folder never is. Every step is checked; false when the text could not
// be saved.
bool WriteWhole(const std::string& name, const std::string& text, bool private_file) {
  if (name.empty()) {
    errno = ENOENT;
    return false;
  }
  const std::string target = FollowLinks(name);

  struct stat info;
  const bool exists = stat(target.c_str(), &info) == 0;
  if (!exists && errno != ENOENT) return false;
  if (exists && S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (exists && !S_ISREG(info.st_mode)) return WriteInPlace(target, false, text, private_file);
  if (exists) {
    const int probe = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0) return false;
    close(probe);
    if (info.st_nlink > 1) return WriteInPlace(target, true, text, private_file);
  }

  const std::string temporary = target + ".tmp";
  const int fd =
      open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    // The rename needs a new entry in the folder. In a folder this user may
    // not write (a shared settings file), the file itself may still be
    // writable: it is then written in place, which leaves it whole once the
    // write succeeded.
    if (exists && (errno == EACCES || errno == EPERM || errno == EROFS))
      return WriteInPlace(target, true, text, private_file);
    return false;
  }

  // A load at the same time leaves a temporary file alone while it is held.
  flock(fd, LOCK_EX | LOCK_NB);

  // The new file gets the old one's owner, group and permissions (the mode
  // after the owner: a change of owner may clear some of its bits), or the
  // permissions a new file gets.
  mode_t mode;
  if (exists) {
    mode = info.st_mode & 07777;
    if ((info.st_uid != geteuid() || info.st_gid != getegid()) &&
        fchown(fd, info.st_uid, info.st_gid) != 0) {
      close(fd);
      unlink(temporary.c_str());
      return WriteInPlace(target, true, text, private_file);
    }
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  if (private_file) mode = 0600;
  bool ok = fchmod(fd, mode) == 0;
  ok = ok && WriteAll(fd, text);
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    // The reason of the failure stays for the caller to tell.
    const int error = errno;
    unlink(temporary.c_str());
    errno = error;
  }
  return ok;
}

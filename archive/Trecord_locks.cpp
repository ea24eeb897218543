// The record's file locks as open-file-description locks: SQLite's unix VFS
// keeps its functions for the system calls in a table that a program may
// change (sqlite3_vfs::xSetSystemCall), and here its fcntl and close are
// replaced.
//
// How it works. SQLite locks with F_SETLK, F_SETLKW and F_GETLK. These become
// F_OFD_SETLK, F_OFD_SETLKW and F_OFD_GETLK: a lock of the open file (the
// "open file description") rather than of the process. Such a lock goes
// only when the last descriptor of that open file closes, so a descriptor
// of barometer.db or its -wal or -shm that anything else in the process
// opens and closes (a file dialog, its icon and MIME lookups) leaves it in
// place. The kernel sets these locks against POSIX locks exactly as POSIX
// locks against each other, so sqlite3 and every other program see them and
// keep to them.
//
// One difference matters. POSIX locks belong to the process: SQLite relies
// on that, keeps its own count of the locks of its connections per file, and
// may take a lock through one connection's descriptor and release it
// through another's (the record has a second connection, its checkpointer).
// Locks of the open file taken through two descriptors would be two owners
// that shut each other out. So every lock goes through one descriptor per
// file (device and inode), opened when SQLite first locks that file and
// closed when SQLite closes the last descriptor it locked through: the
// process stays the one owner, as SQLite expects.

#include "archive/Trecord_locks.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace {

using FcntlCall = int (*)(int, int, ...);
using CloseCall = int (*)(int);

// A file as the kernel tells files apart.
using FileKey = std::pair<dev_t, ino_t>;

// The descriptor that holds the locks of one file, and how many of SQLite's
// descriptors of the file lock through it.
struct LockFile {
  int fd = -1;
  int users = 0;
};

struct Table {
  std::mutex mutex;
  std::map<int, FileKey> descriptors;  // SQLite's descriptors that locked
  std::map<FileKey, LockFile> files;
  FcntlCall fcntl_call = nullptr;  // SQLite's own, the C library's
  CloseCall close_call = nullptr;
};

// Never destroyed: SQLite may close a file while static objects go.
Table& Locks() {
  static Table* table = new Table;
  return *table;
}

// The descriptor that locks for SQLite's descriptor fd; -1 (errno set) when
// there can be none.
int LockDescriptor(Table& t, int fd) {
  std::lock_guard<std::mutex> guard(t.mutex);
  const auto known = t.descriptors.find(fd);
  if (known != t.descriptors.end()) return t.files[known->second].fd;
  struct stat info;
  if (::fstat(fd, &info) != 0) return -1;
  const FileKey key(info.st_dev, info.st_ino);
  LockFile& file = t.files[key];
  if (file.fd < 0) {
    // The file opened once more, for reading and writing, so that a write
    // lock can be had whichever way SQLite opened its first descriptor
    // (one connection may only read); a file that may not be written is
    // locked through a duplicate.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    int own = ::open(self.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    struct stat same;
    if (own >= 0 &&
        (::fstat(own, &same) != 0 || same.st_dev != info.st_dev || same.st_ino != info.st_ino)) {
      t.close_call(own);
      own = -1;
    }
    if (own < 0) own = t.fcntl_call(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
      const int e = errno;
      t.files.erase(key);
      errno = e;
      return -1;
    }
    file.fd = own;
  }
  ++file.users;
  t.descriptors[fd] = key;
  return file.fd;
}

int OpenFileCommand(int cmd) {
  switch (cmd) {
    case F_SETLK:
      return F_OFD_SETLK;
    case F_SETLKW:
      return F_OFD_SETLKW;
    case F_GETLK:
      return F_OFD_GETLK;
    default:
      return 0;
  }
}

int LockingFcntl(int fd, int cmd, ...) {
  // The one argument, whatever cmd takes, passed on as a pointer: the C
  // library's fcntl reads it the same way.
  va_list args;
  va_start(args, cmd);
  void* arg = va_arg(args, void*);
  va_end(args);
  Table& t = Locks();
  const int command = OpenFileCommand(cmd);
  if (command == 0 || arg == nullptr) return t.fcntl_call(fd, cmd, arg);
  // Taken outside the table's mutex: F_SETLKW may wait for another program.
  const int lock_fd = LockDescriptor(t, fd);
  if (lock_fd < 0) return -1;
  auto* lock = static_cast<struct flock*>(arg);
  struct flock own = *lock;
  own.l_pid = 0;  // these locks have no process; the kernel wants 0
  const int rc = t.fcntl_call(lock_fd, command, &own);
  if (rc == 0 && cmd == F_GETLK) *lock = own;
  return rc;
}

int TrackingClose(int fd) {
  Table& t = Locks();
  int lock_fd = -1;
  {
    std::lock_guard<std::mutex> guard(t.mutex);
    const auto known = t.descriptors.find(fd);
    if (known != t.descriptors.end()) {
      const auto file = t.files.find(known->second);
      t.descriptors.erase(known);
      if (file != t.files.end() && --file->second.users == 0) {
        lock_fd = file->second.fd;
        t.files.erase(file);
      }
    }
  }
  const int rc = t.close_call(fd);
  const int e = errno;
  // SQLite has let go of the file (it unlocks before it closes): whatever
  // lock is left goes with the last descriptor, as with POSIX locks.
  if (lock_fd >= 0) t.close_call(lock_fd);
  errno = e;
  return rc;
}

// Whether the kernel has locks of the open file (Linux 3.15 and later).
bool KernelHasOpenFileLocks() {
  const int fd = ::memfd_create("record-locks", MFD_CLOEXEC);
  if (fd < 0) return false;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  const bool ok = ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type == F_UNLCK;
  ::close(fd);
  return ok;
}

bool InstallOnce() {
  // Every unix VFS of SQLite shares one table of system calls.
  sqlite3_vfs* vfs = sqlite3_vfs_find("unix");
  if (vfs == nullptr || vfs->iVersion < 3 || vfs->xSetSystemCall == nullptr ||
      vfs->xGetSystemCall == nullptr || !KernelHasOpenFileLocks())
    return false;
  Table& t = Locks();
  t.fcntl_call = reinterpret_cast<FcntlCall>(vfs->xGetSystemCall(vfs, "fcntl"));
  t.close_call = reinterpret_cast<CloseCall>(vfs->xGetSystemCall(vfs, "close"));
  if (t.fcntl_call == nullptr || t.close_call == nullptr) return false;
  // close first: a descriptor that locked is then always seen closing.
  if (vfs->xSetSystemCall(vfs, "close", reinterpret_cast<sqlite3_syscall_ptr>(&TrackingClose)) !=
      SQLITE_OK)
    return false;
  if (vfs->xSetSystemCall(vfs, "fcntl", reinterpret_cast<sqlite3_syscall_ptr>(&LockingFcntl)) !=
      SQLITE_OK) {
    vfs->xSetSystemCall(vfs, "close", reinterpret_cast<sqlite3_syscall_ptr>(t.close_call));
    return false;
  }
  return true;
}

// Before main(), so that no connection of the process ever locks otherwise:
// a file locked both ways by one process would shut itself out.
[[maybe_unused]] const bool installed_at_start = Trecord_locks::Install();

}  // namespace

bool Trecord_locks::Install() {
  static const bool installed = InstallOnce();
  return installed;
}

int Trecord_locks::HeldFiles() {
  Table& t = Locks();
  std::lock_guard<std::mutex> guard(t.mutex);
  return static_cast<int>(t.files.size());
}

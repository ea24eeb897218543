#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/sysmacros.h>

#include <cstdio>
#include <fstream>
#include <string>

// What another process finds of the record's locks: a child opens the file
// and its -shm afresh and asks the kernel whether it could lock all of each
// for writing. Only system calls run in the child (the test process has
// threads), and its descriptors are its own.
struct RecordLocksSeen {
  bool file = false;   // barometer.db is locked by someone
  bool index = false;  // barometer.db-shm is
};

inline RecordLocksSeen LocksSeenByAnotherProcess(const std::string& db) {
  const std::string shm = db + "-shm";
  const pid_t child = ::fork();
  if (child == 0) {
    int seen = 0;
    const char* names[] = {db.c_str(), shm.c_str()};
    for (int i = 0; i < 2; ++i) {
      const int fd = ::open(names[i], O_RDONLY | O_CLOEXEC);
      if (fd < 0) continue;
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      if (::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK) seen |= 1 << i;
      ::close(fd);
    }
    ::_exit(seen);
  }
  RecordLocksSeen result;
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.file = (WEXITSTATUS(status) & 1) != 0;
    result.index = (WEXITSTATUS(status) & 2) != 0;
  }
  return result;
}

// The lines of /proc/locks on the file at path (the kernel's view of every
// lock on it, "OFDLCK" or "POSIX" first after the number).
inline std::string KernelLocksOn(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return "";
  // As the kernel writes it: "%02x:%02x:%lu ".
  char id[64];
  std::snprintf(id, sizeof id, "%02x:%02x:%lu ", major(info.st_dev), minor(info.st_dev),
                static_cast<unsigned long>(info.st_ino));
  std::ifstream locks("/proc/locks");
  std::string line, found;
  while (std::getline(locks, line)) {
    const size_t at = line.find(id);
    if (at != std::string::npos && at > 0 && line[at - 1] == ' ') found += line + "\n";
  }
  return found;
}

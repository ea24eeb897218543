// One sysfs attribute of an IIO device: read and written without ever
// blocking, and the numbers the kernel prints into it.

#include "iio/Tiio_attribute.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

const char* ErrorName(int error) {
  switch (error) {
    case EIO:
      return "EIO";
    case ENODEV:
      return "ENODEV";
    case ENOENT:
      return "ENOENT";
    case ENXIO:
      return "ENXIO";
    case EAGAIN:
      return "EAGAIN";
    case ETIMEDOUT:
      return "ETIMEDOUT";
    case EBUSY:
      return "EBUSY";
    case EACCES:
      return "EACCES";
    case EPERM:
      return "EPERM";
    case EROFS:
      return "EROFS";
    case EINVAL:
      return "EINVAL";
    case ERANGE:
      return "ERANGE";
    case EINTR:
      return "EINTR";
    case EISDIR:
      return "EISDIR";
    case EREMOTEIO:
      return "EREMOTEIO";
    default:
      return nullptr;
  }
}

// Opens path without blocking and makes sure it is a regular file. -1 with
// the reason otherwise.
int OpenAttribute(const std::string& path, int flags, std::string* why, int* error) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    *error = errno;
    *why = path + ": " + IioErrorWords(*error);
    return -1;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    *error = errno;
    *why = path + ": " + IioErrorWords(*error);
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = 0;
    *why = path + ": is not a sysfs attribute (a FIFO, a device or a folder stands there)";
    ::close(fd);
    return -1;
  }
  return fd;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

}  // namespace

std::string IioErrorWords(int error) {
  const char* name = ErrorName(error);
  const std::string text = std::strerror(error);
  if (name == nullptr) return "error " + std::to_string(error) + " (" + text + ")";
  return std::string(name) + " (" + text + ")";
}

bool ReadIioAttribute(const std::string& path, std::string* text, std::string* why, int* error) {
  int ignored = 0;
  if (error == nullptr) error = &ignored;
  *error = 0;
  const int fd = OpenAttribute(path, O_RDONLY, why, error);
  if (fd < 0) return false;
  // One byte more than an attribute may hold tells a longer file.
  char buffer[kIioAttributeBytes + 1];
  ssize_t got;
  do {
    got = ::read(fd, buffer, sizeof buffer);
  } while (got < 0 && errno == EINTR);
  const int read_error = got < 0 ? errno : 0;
  ::close(fd);
  if (got < 0) {
    *error = read_error;
    *why = path + ": " + IioErrorWords(read_error);
    return false;
  }
  if (got > kIioAttributeBytes) {
    *why =
        path + ": is longer than an attribute (" + std::to_string(kIioAttributeBytes) + " bytes)";
    return false;
  }
  size_t length = static_cast<size_t>(got);
  while (length > 0 && IsSpace(buffer[length - 1])) --length;
  if (length == 0) {
    *why = path + ": is empty";
    return false;
  }
  text->assign(buffer, length);
  return true;
}

bool WriteIioAttribute(const std::string& path, const std::string& text, std::string* why,
                       int* error) {
  int ignored = 0;
  if (error == nullptr) error = &ignored;
  *error = 0;
  // Truncated as a shell's "echo 4 >" does: sysfs takes the value written
  // either way, and a file that holds a longer one keeps none of it.
  const int fd = OpenAttribute(path, O_WRONLY | O_TRUNC, why, error);
  if (fd < 0) return false;
  ssize_t put;
  do {
    put = ::write(fd, text.data(), text.size());
  } while (put < 0 && errno == EINTR);
  const int write_error = put < 0 ? errno : 0;
  // sysfs reports a refused value at the write; a close never fails there.
  ::close(fd);
  if (put < 0) {
    *error = write_error;
    *why = path + ": " + IioErrorWords(write_error);
    return false;
  }
  if (static_cast<size_t>(put) != text.size()) {
    *why = path + ": only part of the value was taken";
    return false;
  }
  return true;
}

bool IioAttributeExists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

bool ParseIioNumber(const std::string& text, double* value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  // from_chars takes no leading '+' and reads "inf" and "nan": neither is
  // what a driver prints.
  if (begin == end || !((*begin >= '0' && *begin <= '9') || *begin == '-' || *begin == '.'))
    return false;
  double parsed = 0;
  const auto [rest, ec] = std::from_chars(begin, end, parsed, std::chars_format::fixed);
  if (ec != std::errc() || rest != end || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

bool ParseIioInteger(const std::string& text, int64_t* value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  int64_t parsed = 0;
  const auto [rest, ec] = std::from_chars(begin, end, parsed);
  if (begin == end || ec != std::errc() || rest != end) return false;
  *value = parsed;
  return true;
}

bool ParseIioIntegerList(const std::string& text, std::vector<int>* values) {
  std::vector<int> parsed;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p != end) {
    if (IsSpace(*p)) {
      ++p;
      continue;
    }
    int item = 0;
    const auto [rest, ec] = std::from_chars(p, end, item);
    if (ec != std::errc() || (rest != end && !IsSpace(*rest))) return false;
    parsed.push_back(item);
    p = rest;
  }
  if (parsed.empty()) return false;
  *values = std::move(parsed);
  return true;
}

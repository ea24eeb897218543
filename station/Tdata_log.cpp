#include "station/Tdata_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "atmosphere/Altitude.h"

namespace {

// printf's "%.<decimals>f" with a point whatever the locale.
std::string Fixed(double value, int decimals) {
  char buffer[400];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return "?";
  return std::string(buffer, result.ptr);
}

std::string Hex(int32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%x", static_cast<unsigned>(value));
  return buffer;
}

}  // namespace

Tdata_log::~Tdata_log() {
  End();
}

std::string Tdata_log::DateTimeText(std::time_t t) {
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return std::string();
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d",
                static_cast<long long>(local.tm_year) + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::string Tdata_log::HeaderText(const DataLogHeader& header, std::time_t now) {
  const Tsensor_wc& calibration = header.calibration;
  std::string text;
  text += "#    Datafile for Norvatech PC-Port Altimeter\n\n";
  text += "#    Measurement start date : " + DateTimeText(now) + "\n\n";
  text += "#    Calibration words :\n";
  text += "#                        W1 = 0x" + Hex(calibration.W1) + "\n";
  text += "#                        W2 = 0x" + Hex(calibration.W2) + "\n";
  text += "#                        W3 = 0x" + Hex(calibration.W3) + "\n";
  text += "#                        W4 = 0x" + Hex(calibration.W4) + "\n";
  text += "#    Calibration coeff :\n";
  text += "#                        C1 = " + std::to_string(calibration.C1) + "\n";
  text += "#                        C2 = " + std::to_string(calibration.C2) + "\n";
  text += "#                        C3 = " + std::to_string(calibration.C3) + "\n";
  text += "#                        C4 = " + std::to_string(calibration.C4) + "\n";
  text += "#                        C5 = " + std::to_string(calibration.C5) + "\n";
  text += "#                        C6 = " + std::to_string(calibration.C6) + "\n\n";
  text +=
      "#    Temperature [\xB0"
      "C]\n";  // the degree sign as one byte
  text += "#    Pressure    [mbar]\n";
  text += "#    Altitude    [m]\n\n";
  text += "#    Local Altitude = " + Fixed(header.local_altitude, 3) + " [m]\n";
  text += "#    Sampling N  = " + Fixed(header.sampling_n, 0) + " (number of measures/sample)\n";
  text += "#    Sampling TS = " + Fixed(header.sampling_ts, 0) + " [s]\n";
  text += "#    Pressure difference to sea level = " + Fixed(header.sea_offset, 1) + " [mbar]\n\n";
  text += "#(DateTime;D1;D2;Pressure;Temperature;Altitude)\n";
  return text;
}

std::string Tdata_log::RowText(std::time_t now, int32_t d1, int32_t d2, double pressure,
                               double temperature, double altitude) {
  std::string row = DateTimeText(now);
  row += ';' + std::to_string(d1) + ';' + std::to_string(d2) + ';' + Fixed(pressure, 2) + ';' +
         Fixed(temperature, 2) + ';' + Fixed(altitude, 2) + '\n';
  return row;
}

std::string Tdata_log::Begin(const std::string& name, const DataLogHeader* header,
                             std::time_t now) {
  End();
  // Lines end with a line feed alone; bytes go out as written, unbuffered.
  // A FIFO or a device does not hold up the opening.
  LogFile = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
  struct stat info;
  if (LogFile < 0 || fstat(LogFile, &info) != 0) {
    const std::string reason = std::strerror(errno);
    End();
    return "Error : Unable to open output file " + name + ": " + reason;
  }
  // Writes wait for the file as ever once it is open.
  fcntl(LogFile, F_SETFL, fcntl(LogFile, F_GETFL) & ~O_NONBLOCK);
  name_ = name;
  device_ = info.st_dev;
  inode_ = info.st_ino;
  // The name stays bound to the folder it was chosen in, whatever the
  // current folder later becomes.
  absolute_path_ = name;
  char folder[PATH_MAX];
  if (!name.empty() && name.front() != '/' && getcwd(folder, sizeof folder) != nullptr)
    absolute_path_ = std::string(folder) + '/' + name;

  // Without a header to write there is nothing to document: rows only.
  std::string reason;
  if (header != nullptr && !AppendWhole(HeaderText(*header, now), reason)) {
    End();
    return "Error : Unable to write output file " + name + ": " + reason;
  }
  return std::string();
}

void Tdata_log::End() {
  if (LogFile >= 0) ::close(LogFile);
  LogFile = -1;
}

void Tdata_log::OnSample(const Sample& sample) {
  // A failed sample is no data for the log.
  if (!sample.good || LogFile < 0) return;
  Write(sample.time, sample.d1.value_or(0), sample.d2.value_or(0), sample.pressure,
        sample.temperature, ShownAltitude(sample.altitude));
}

bool Tdata_log::Write(std::time_t now, int32_t d1, int32_t d2, double pressure, double temperature,
                      double altitude) {
  if (LogFile < 0) return false;
  std::string reason;
  if (!AppendWhole(RowText(now, d1, d2, pressure, temperature, altitude), reason)) {
    Stop("Error : Unable to write output file " + name_ + ": " + reason);
    return false;
  }
  if (!StillAtItsName()) {
    // Rows written to a file that no name leads to any more are lost.
    Stop("Error : The output file " + name_ + " was moved or deleted; data logging stopped.");
    return false;
  }
  if (on_row) on_row();
  return true;
}

bool Tdata_log::AppendWhole(const std::string& text, std::string& reason) {
  // Where the last whole line ends (none for a device or a fifo).
  const off_t whole = lseek(LogFile, 0, SEEK_CUR);
  const char* data = text.data();
  size_t left = text.size();
  // One write, unless the system takes only part of it.
  while (left > 0) {
    errno = 0;
    const ssize_t written =
        write_call ? write_call(LogFile, data, left) : ::write(LogFile, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      reason = written < 0 && errno != 0 ? std::strerror(errno) : "nothing was written";
      break;
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  if (left == 0) return true;
  // A torn line would trip whatever reads the log: the file ends with the
  // last whole one instead.
  if (whole >= 0 && ftruncate(LogFile, whole) == 0) lseek(LogFile, whole, SEEK_SET);
  return false;
}

bool Tdata_log::StillAtItsName() const {
  struct stat open_file;
  struct stat named_file;
  return fstat(LogFile, &open_file) == 0 && open_file.st_nlink > 0 &&
         stat(absolute_path_.c_str(), &named_file) == 0 &&
         static_cast<uint64_t>(named_file.st_dev) == device_ &&
         static_cast<uint64_t>(named_file.st_ino) == inode_;
}

void Tdata_log::Stop(const std::string& message) {
  // Logging ends before anyone is told: samples keep arriving and must not
  // write (and report) again.
  End();
  if (on_stopped) on_stopped(message);
}

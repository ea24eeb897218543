#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "sensor/Tsensor_wc.h"
#include "station/Tstation.h"

// What the header of a new data log documents: the module's calibration and
// the settings in force when logging began.
struct DataLogHeader {
  Tsensor_wc calibration;
  double local_altitude = 0;  // m
  double sampling_n = 0;
  double sampling_ts = 0;  // s
  double sea_offset = 0;   // mbar
};

// The data log: a text file with a header and one row a good sample
// ("YYYY-MM-DD HH:MM:SS;D1;D2;pressure;temperature;altitude"), written as
// each sample arrives from the station. Every line is written whole or not
// at all. A write that fails, or a file that no name leads to any more,
// ends the logging; the reason is handed to `on_stopped` and never shown
// from here, so nothing waits inside the station's tick.
class Tdata_log : public TstationSink {
 public:
  Tdata_log() = default;
  ~Tdata_log() override;
  Tdata_log(const Tdata_log&) = delete;
  Tdata_log& operator=(const Tdata_log&) = delete;

  // Creates (or empties) the file `name` and writes the header into it, or
  // no header when `header` is null. "" when logging runs, else the message
  // to tell ("Error : Unable to open output file samples.dat: Permission
  // denied"); the log is then closed. A log open before is ended first.
  std::string Begin(const std::string& name, const DataLogHeader* header, std::time_t now);
  // Ends logging (nothing when none runs).
  void End();
  bool IsLogging() const { return LogFile >= 0; }
  // The name the open log was chosen under.
  const std::string& Name() const { return name_; }

  // A good sample is a row; the altitude is written as the windows show it,
  // within -1000..10000 m.
  void OnSample(const Sample& sample) override;
  // One row; false when logging ended over it (told through on_stopped).
  bool Write(std::time_t now, int32_t d1, int32_t d2, double pressure, double temperature,
             double altitude);

  static std::string HeaderText(const DataLogHeader& header, std::time_t now);
  static std::string RowText(std::time_t now, int32_t d1, int32_t d2, double pressure,
                             double temperature, double altitude);
  // Local date and time as "YYYY-MM-DD HH:MM:SS"; empty when t has none.
  static std::string DateTimeText(std::time_t t);

  // After each row written.
  std::function<void()> on_row;
  // Logging ended by a failure: the message to tell, with its reason.
  std::function<void(const std::string& message)> on_stopped;
  // The write of the file, for tests to make it fail.
  std::function<ssize_t(int fd, const void* data, size_t size)> write_call;

  // The open log's descriptor, or -1.
  int LogFile = -1;

 private:
  // Appends the text whole, or cuts the file back to where it ended
  // before; the reason in words when it could not.
  bool AppendWhole(const std::string& text, std::string& reason);
  // Whether the log's name still leads to the file being written.
  bool StillAtItsName() const;
  void Stop(const std::string& message);

  std::string name_;
  std::string absolute_path_;
  uint64_t device_ = 0;
  uint64_t inode_ = 0;
};

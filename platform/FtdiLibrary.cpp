// The adapter library's calls for FtdiLines; built only when the library is
// there (the CMake option BAROMETER_FTDI).
#include <ftdi.h>
#include <libusb.h>

#include <cstdio>

#include "platform/FtdiLines.h"

namespace {

class LibraryCalls : public FtdiCalls {
 public:
  LibraryCalls() : context_(ftdi_new()) {}
  ~LibraryCalls() override { Close(); }

  int Open(const std::string& device) override {
    if (context_ == nullptr) return -100;
    const int rc = ftdi_usb_open_string(context_, device.c_str());
    open_ = rc == 0;
    return rc;
  }
  int SetLatencyTimer(int ms) override {
    return ftdi_set_latency_timer(context_, static_cast<unsigned char>(ms));
  }
  int SetBaudrate(int baudrate) override { return ftdi_set_baudrate(context_, baudrate); }
  int SetBitmode(int output_mask, int mode) override {
    return ftdi_set_bitmode(context_, static_cast<unsigned char>(output_mask),
                            static_cast<unsigned char>(mode));
  }
  int Flush() override { return ftdi_tcioflush(context_); }
  int Write(const uint8_t* bytes, int count) override {
    return ftdi_write_data(context_, bytes, count);
  }
  int Read(uint8_t* bytes, int count) override { return ftdi_read_data(context_, bytes, count); }
  void Close() override {
    if (context_ == nullptr) return;
    if (open_) ftdi_usb_close(context_);
    open_ = false;
    ftdi_free(context_);
    context_ = nullptr;
  }
  std::string ErrorText() override {
    if (context_ == nullptr) return "the library could not start";
    const char* text = ftdi_get_error_string(context_);
    return text != nullptr ? text : "";
  }

 private:
  ftdi_context* context_;
  bool open_ = false;
};

}  // namespace

std::unique_ptr<FtdiCalls> NewFtdiCalls() {
  return std::make_unique<LibraryCalls>();
}

bool FtdiAvailable() {
  return true;
}

std::vector<FtdiDeviceInfo> ListFtdiDevices() {
  std::vector<FtdiDeviceInfo> found;
  ftdi_context* context = ftdi_new();
  if (context == nullptr) return found;
  ftdi_device_list* list = nullptr;
  // Vendor and product 0: the library's known adapters (FT232R, FT2232,
  // FT232H and kin).
  if (ftdi_usb_find_all(context, &list, 0, 0) > 0) {
    for (ftdi_device_list* item = list; item != nullptr; item = item->next) {
      char manufacturer[128] = {}, description[128] = {}, serial[128] = {};
      FtdiDeviceInfo info;
      libusb_device_descriptor descriptor;
      const bool known = libusb_get_device_descriptor(item->dev, &descriptor) == 0;
      if (ftdi_usb_get_strings(context, item->dev, manufacturer, sizeof manufacturer, description,
                               sizeof description, serial, sizeof serial) == 0) {
        info.description = description;
        info.serial = serial;
      } else {
        info.description = "(strings not readable: check the udev rule)";
      }
      char name[64];
      if (!info.serial.empty() && known) {
        std::snprintf(name, sizeof name, "s:0x%04x:0x%04x:", descriptor.idVendor,
                      descriptor.idProduct);
        info.device = name + info.serial;
      } else {
        std::snprintf(name, sizeof name, "d:%03u/%03u", libusb_get_bus_number(item->dev),
                      libusb_get_device_address(item->dev));
        info.device = name;
      }
      found.push_back(info);
    }
  }
  ftdi_list_free(&list);
  ftdi_free(context);
  return found;
}

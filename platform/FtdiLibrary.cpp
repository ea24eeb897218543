// The adapter library's calls for FtdiLines; built only when the library is
// there (the CMake option BAROMETER_FTDI). The library is opened the first
// time an adapter is listed or opened, not linked: a program that never
// uses one does not map it, nor libusb and libudev, which it brings along.
#include <ftdi.h>
#include <libusb.h>

#include <cstdio>

#include "platform/FtdiLines.h"
#include "platform/Shared_library.h"

// The library's functions the backend calls, each typed after its
// declaration; the three of libusb come with the adapter library.
#define BAROMETER_FTDI_FUNCTIONS(X) \
  X(ftdi_new)                       \
  X(ftdi_free)                      \
  X(ftdi_usb_open_string)           \
  X(ftdi_usb_close)                 \
  X(ftdi_set_latency_timer)         \
  X(ftdi_set_baudrate)              \
  X(ftdi_set_bitmode)               \
  X(ftdi_tcioflush)                 \
  X(ftdi_write_data)                \
  X(ftdi_read_data)                 \
  X(ftdi_get_error_string)          \
  X(ftdi_usb_find_all)              \
  X(ftdi_usb_get_strings)           \
  X(ftdi_list_free)                 \
  X(libusb_get_device_descriptor)   \
  X(libusb_get_bus_number)          \
  X(libusb_get_device_address)

namespace {

struct FtdiApi {
#define BAROMETER_FTDI_MEMBER(name) decltype(&::name) name = nullptr;
  BAROMETER_FTDI_FUNCTIONS(BAROMETER_FTDI_MEMBER)
#undef BAROMETER_FTDI_MEMBER
};

// Filled once, when the library opens, and never changed afterwards.
FtdiApi api;

Tshared_library& Library() {
  static Tshared_library library(kFtdiLibraryFile,
                                 {
#define BAROMETER_FTDI_NAME(name) #name,
                                     BAROMETER_FTDI_FUNCTIONS(BAROMETER_FTDI_NAME)
#undef BAROMETER_FTDI_NAME
                                 },
                                 [](void* const* functions) {
                                   int i = 0;
#define BAROMETER_FTDI_TAKE(name) api.name = reinterpret_cast<decltype(api.name)>(functions[i++]);
                                   BAROMETER_FTDI_FUNCTIONS(BAROMETER_FTDI_TAKE)
#undef BAROMETER_FTDI_TAKE
                                 });
  return library;
}

// The library, opened on the first call that succeeds; null (the reason in
// the library's Error) when it cannot be opened.
const FtdiApi* Api() {
  std::string error;
  return Library().Open(error) ? &api : nullptr;
}

class LibraryCalls : public FtdiCalls {
 public:
  ~LibraryCalls() override { Close(); }

  int Open(const std::string& device) override {
    // The library is opened here, not when the calls are made.
    if (api_ == nullptr) api_ = Api();
    if (api_ != nullptr && context_ == nullptr) context_ = api_->ftdi_new();
    if (context_ == nullptr) return -100;
    const int rc = api_->ftdi_usb_open_string(context_, device.c_str());
    open_ = rc == 0;
    return rc;
  }
  int SetLatencyTimer(int ms) override {
    return api_->ftdi_set_latency_timer(context_, static_cast<unsigned char>(ms));
  }
  int SetBaudrate(int baudrate) override { return api_->ftdi_set_baudrate(context_, baudrate); }
  int SetBitmode(int output_mask, int mode) override {
    return api_->ftdi_set_bitmode(context_, static_cast<unsigned char>(output_mask),
                                  static_cast<unsigned char>(mode));
  }
  int Flush() override { return api_->ftdi_tcioflush(context_); }
  int Write(const uint8_t* bytes, int count) override {
    return api_->ftdi_write_data(context_, bytes, count);
  }
  int Read(uint8_t* bytes, int count) override {
    return api_->ftdi_read_data(context_, bytes, count);
  }
  void Close() override {
    if (context_ == nullptr) return;
    if (open_) api_->ftdi_usb_close(context_);
    open_ = false;
    api_->ftdi_free(context_);
    context_ = nullptr;
  }
  std::string ErrorText() override {
    if (api_ == nullptr) return "the adapter library could not be opened: " + Library().Error();
    if (context_ == nullptr) return "the library could not start";
    const char* text = api_->ftdi_get_error_string(context_);
    return text != nullptr ? text : "";
  }

 private:
  const FtdiApi* api_ = nullptr;
  ftdi_context* context_ = nullptr;
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
  const FtdiApi* api = Api();
  if (api == nullptr) return found;
  ftdi_context* context = api->ftdi_new();
  if (context == nullptr) return found;
  ftdi_device_list* list = nullptr;
  // Vendor and product 0: the library's known adapters (FT232R, FT2232,
  // FT232H and kin).
  if (api->ftdi_usb_find_all(context, &list, 0, 0) > 0) {
    for (ftdi_device_list* item = list; item != nullptr; item = item->next) {
      char manufacturer[128] = {}, description[128] = {}, serial[128] = {};
      FtdiDeviceInfo info;
      libusb_device_descriptor descriptor;
      const bool known = api->libusb_get_device_descriptor(item->dev, &descriptor) == 0;
      if (api->ftdi_usb_get_strings(context, item->dev, manufacturer, sizeof manufacturer,
                                    description, sizeof description, serial, sizeof serial) == 0) {
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
        std::snprintf(name, sizeof name, "d:%03u/%03u", api->libusb_get_bus_number(item->dev),
                      api->libusb_get_device_address(item->dev));
        info.device = name;
      }
      found.push_back(info);
    }
  }
  api->ftdi_list_free(&list);
  api->ftdi_free(context);
  return found;
}

void UseFtdiLibraryFile(const std::string& file) {
  Library().UseFile(file);
}

bool FtdiLibraryOpened() {
  return Library().IsOpen();
}

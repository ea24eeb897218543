// The viewers' request reader on arbitrary bytes: one line as the socket
// hands it over. Whatever it takes must be within its limits, and whatever
// it refuses must say why.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "service/Tviewer_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  Tviewer_request request;
  if (!request.Parse(line)) {
    if (request.reason.empty() || request.kind != Tviewer_request::Kind::kNone ||
        !request.settings.empty())
      std::abort();
    return 0;
  }
  if (request.kind == Tviewer_request::Kind::kNone || !request.id || !request.reason.empty())
    std::abort();
  if (request.settings.size() > Tviewer_request::kMostSettings) std::abort();
  for (const Tviewer_setting& s : request.settings) {
    const auto kind = Tviewer_request::KindOf(s.key);
    if (!kind || *kind != s.value.kind) std::abort();
    if (!std::isfinite(s.value.number)) std::abort();
    if (s.value.text.size() > Tviewer_request::kLongestString + 3) std::abort();
    for (const char c : s.value.text)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
  }
  return 0;
}

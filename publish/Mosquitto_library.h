#pragma once

#include <mosquitto.h>

#include <string>

// libmosquitto, opened only when a client first connects: a program that
// never publishes does not map it, nor the TLS libraries it brings along.
// The header gives the types and constants; the calls go through this
// table of the library's own functions, each typed after its declaration.
#define BAROMETER_MOSQUITTO_FUNCTIONS(X) \
  X(mosquitto_lib_init)                  \
  X(mosquitto_new)                       \
  X(mosquitto_destroy)                   \
  X(mosquitto_int_option)                \
  X(mosquitto_connect_v5_callback_set)   \
  X(mosquitto_log_callback_set)          \
  X(mosquitto_username_pw_set)           \
  X(mosquitto_tls_set)                   \
  X(mosquitto_tls_opts_set)              \
  X(mosquitto_tls_insecure_set)          \
  X(mosquitto_will_set)                  \
  X(mosquitto_connect_async)             \
  X(mosquitto_disconnect)                \
  X(mosquitto_publish)                   \
  X(mosquitto_socket)                    \
  X(mosquitto_want_write)                \
  X(mosquitto_loop_read)                 \
  X(mosquitto_loop_write)                \
  X(mosquitto_loop_misc)                 \
  X(mosquitto_strerror)                  \
  X(mosquitto_reason_string)             \
  X(mosquitto_connack_string)

struct Mosquitto_library {
#define BAROMETER_MOSQUITTO_MEMBER(name) decltype(&::name) name = nullptr;
  BAROMETER_MOSQUITTO_FUNCTIONS(BAROMETER_MOSQUITTO_MEMBER)
#undef BAROMETER_MOSQUITTO_MEMBER

  // The file opened by default.
  static constexpr const char* kDefaultFile = "libmosquitto.so.1";

  // The library, opened and initialised on the first call that succeeds
  // and kept for the rest of the process; any thread may ask. Null when it
  // cannot be opened or lacks a function, with the loader's message in
  // `error`; a later call tries again.
  static const Mosquitto_library* Get(std::string& error);

  // The file the next opening tries; for tests of a missing library. It
  // has no effect once the library is open.
  static void UseFile(const std::string& file);
};

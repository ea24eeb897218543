#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A shared library opened at run time rather than linked, so that a feature
// few use (publishing, a USB adapter) costs no memory until it is used: a
// library not linked is not mapped, nor are the libraries it needs.
//
// The library is opened, and its functions looked up by name, on the first
// call of Open that succeeds; it then stays open for the rest of the
// process (a thread may still be inside it). Any thread may call.
class Tshared_library {
 public:
  // The functions' addresses in the order of `names`, for the owner to
  // take into its table of typed pointers; called once, at the opening.
  using Take = std::function<void(void* const* functions)>;

  Tshared_library(std::string file, std::vector<const char*> names, Take take);

  // Whether the library is open, opening it if not. False, with the
  // loader's message in `error` (and in Error), when the file cannot be
  // opened or lacks one of the functions; it is then closed again, and a
  // later call tries again.
  bool Open(std::string& error);
  // Why the last opening failed.
  std::string Error();
  bool IsOpen();
  // The file the next opening tries, for tests of a missing library; no
  // effect once the library is open.
  void UseFile(const std::string& file);

 private:
  std::mutex mutex_;
  std::string file_;
  const std::vector<const char*> names_;
  const Take take_;
  bool open_ = false;
  std::string error_;
};

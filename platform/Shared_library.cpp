#include "platform/Shared_library.h"

#include <dlfcn.h>

#include <utility>

namespace {

std::string LoaderMessage(const std::string& fallback) {
  const char* message = dlerror();
  return message != nullptr ? std::string(message) : fallback;
}

}  // namespace

Tshared_library::Tshared_library(std::string file, std::vector<const char*> names, Take take)
    : file_(std::move(file)), names_(std::move(names)), take_(std::move(take)) {}

bool Tshared_library::Open(std::string& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (open_) return true;
  dlerror();  // clears an earlier message
  void* handle = dlopen(file_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    error = error_ = LoaderMessage(file_ + ": cannot be opened");
    return false;
  }
  // The library's own functions and those of the libraries it brought in.
  std::vector<void*> functions(names_.size());
  for (size_t i = 0; i < names_.size(); ++i) {
    functions[i] = dlsym(handle, names_[i]);
    if (functions[i] == nullptr) {
      error = error_ = LoaderMessage(file_ + ": undefined symbol: " + names_[i]);
      dlclose(handle);
      return false;
    }
  }
  take_(functions.data());
  open_ = true;
  return true;
}

std::string Tshared_library::Error() {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

bool Tshared_library::IsOpen() {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

void Tshared_library::UseFile(const std::string& file) {
  std::lock_guard<std::mutex> lock(mutex_);
  file_ = file;
}

#include "platform/Shared_library.h"

#include <dlfcn.h>

namespace {

std::string LoaderMessage(const std::string& fallback) {
  const char* message = dlerror();
  return message != nullptr ? std::string(message) : fallback;
}

}  // namespace

void* OpenSharedLibrary(const std::string& file, const char* const* names, int count,
                        void** functions, std::string& error) {
  dlerror();  // clears an earlier message
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    error = LoaderMessage(file + ": cannot be opened");
    return nullptr;
  }
  // The library's own functions and those of the libraries it brought in.
  for (int i = 0; i < count; ++i) {
    functions[i] = dlsym(handle, names[i]);
    if (functions[i] == nullptr) {
      error = LoaderMessage(file + ": undefined symbol: " + names[i]);
      dlclose(handle);
      return nullptr;
    }
  }
  return handle;
}

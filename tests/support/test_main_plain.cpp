// The test main of the floors below the desktop: no Qt at all. Every test
// program runs in a temporary folder of its own, removed at its end, so
// nothing a test writes lands where it was started.

#include <ftw.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return ::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/barometer-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr || ::chmod(pattern.c_str(), 0755) != 0 ||
      ::chdir(pattern.c_str()) != 0) {
    std::fprintf(stderr, "No temporary folder to run in\n");
    return 1;
  }
  const int result = RUN_ALL_TESTS();
  if (::chdir("/") == 0) ::nftw(pattern.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  return result;
}

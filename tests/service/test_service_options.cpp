#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "service/Tservice_options.h"
#include "tests/support/without_permission_override.h"

namespace {
int Parse(Tservice_options& options, std::initializer_list<const char*> args) {
  std::vector<const char*> argv{"/usr/bin/barometerd"};
  argv.insert(argv.end(), args.begin(), args.end());
  return options.Parse(static_cast<int>(argv.size()), argv.data());
}

std::string Cwd() {
  char cwd[PATH_MAX];
  return ::getcwd(cwd, sizeof cwd) != nullptr ? cwd : "";
}
}  // namespace

TEST(ServiceOptions, TheFolderDefaultsToTheCurrentOneAndIsMadeAbsolute) {
  Tservice_options plain;
  EXPECT_EQ(Parse(plain, {}), Tservice_options::kRun);
  EXPECT_EQ(plain.Folder(), Cwd());
  EXPECT_FALSE(plain.Simulated());

  ASSERT_EQ(::mkdir("state", 0700), 0);
  Tservice_options given;
  EXPECT_EQ(Parse(given, {"--simulated", "--folder", "state/."}), Tservice_options::kRun);
  EXPECT_EQ(given.Folder(), Cwd() + "/state");
  EXPECT_TRUE(given.Simulated());
  Tservice_options joined;
  EXPECT_EQ(Parse(joined, {"--folder=state"}), Tservice_options::kRun);
  EXPECT_EQ(joined.Folder(), Cwd() + "/state");
}

TEST(ServiceOptions, HelpAndVersionEndAtOnceWithStatusZero) {
  Tservice_options help;
  EXPECT_EQ(Parse(help, {"--folder", "/nowhere", "--help"}), 0);
  EXPECT_EQ(help.Message().rfind("Usage: barometerd [--folder DIR] [--simulated]\n", 0), 0u);
  EXPECT_NE(help.Message().find("--version"), std::string::npos);
  Tservice_options version;
  EXPECT_EQ(Parse(version, {"--version"}), 0);
  EXPECT_EQ(version.Message().rfind("barometerd ", 0), 0u);
}

TEST(ServiceOptions, RefusalsAreOneLineAndStatusTwo) {
  std::ofstream("a_file") << "x";
  ASSERT_EQ(::mkdir("locked", 0500), 0);
  struct Case {
    std::vector<const char*> args;
    const char* says;
  };
  const Case cases[] = {
      {{"--fast"}, "unknown option --fast"},
      {{"-f"}, "unknown option -f"},
      {{"extra"}, "unexpected argument extra"},
      {{"--folder"}, "--folder needs a folder"},
      {{"--folder="}, "--folder needs a folder"},
      {{"--folder", "a", "--folder", "b"}, "--folder given twice"},
      {{"--folder", "missing"}, "folder missing: No such file or directory"},
      {{"--folder", "a_file"}, "folder a_file: not a folder"},
      {{"--folder", "locked"}, "folder locked: Permission denied"},
  };
  WithoutPermissionOverride as_a_user;
  for (const Case& c : cases) {
    std::vector<const char*> argv{"barometerd"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    Tservice_options options;
    EXPECT_EQ(options.Parse(static_cast<int>(argv.size()), argv.data()),
              Tservice_options::kUsageError)
        << c.says;
    const std::string& m = options.Message();
    EXPECT_EQ(m.rfind(std::string("barometerd: ") + c.says, 0), 0u) << m;
    EXPECT_EQ(m.find('\n'), m.size() - 1) << m;
  }
  ::chmod("locked", 0700);
}

// Settings files read without blocking: what is not a regular file is
// refused by name, before it is read, and so is a file beyond the limit.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/Regular_file.h"
#include "tests/support/without_permission_override.h"

namespace {

using Status = Tfile_read::Status;

void WriteFile(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

TEST(RegularFile, ReadsAWholeFileDirectlyOrThroughALink) {
  const char raw[] = "set_altitude\t250\r\n\0tail";  // a NUL is content like any byte
  const std::string text(raw, sizeof raw - 1);
  WriteFile("plain.ini", text);
  Tfile_read read = ReadRegularFile("plain.ini");
  EXPECT_EQ(read.status, Status::Read);
  EXPECT_EQ(read.content, text);
  EXPECT_TRUE(read.message.empty());
  ASSERT_EQ(symlink("plain.ini", "linked.ini"), 0);
  EXPECT_EQ(ReadRegularFile("linked.ini").content, text);
  WriteFile("empty.ini", "");
  EXPECT_TRUE(ReadRegularFile("empty.ini").Ok());
}

TEST(RegularFile, WhatIsNotARegularFileIsNamed) {
  ASSERT_EQ(mkfifo("fifo.ini", 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", "zero.ini"), 0);
  ASSERT_EQ(mkdir("folder.ini", 0700), 0);
  ASSERT_EQ(symlink("folder.ini", "folder_link.ini"), 0);
  ASSERT_EQ(symlink("fifo.ini", "fifo_link.ini"), 0);
  const struct {
    const char* path;
    const char* message;
  } cases[] = {
      {"fifo.ini", "fifo.ini is a FIFO, not a settings file"},
      {"zero.ini", "zero.ini is a link to a character device, not a settings file"},
      {"folder.ini", "folder.ini is a folder, not a settings file"},
      {"folder_link.ini", "folder_link.ini is a link to a folder, not a settings file"},
      {"fifo_link.ini", "fifo_link.ini is a link to a FIFO, not a settings file"},
  };
  for (const auto& c : cases) {
    const Tfile_read read = ReadRegularFile(c.path);
    EXPECT_EQ(read.status, Status::Refused) << c.path;
    EXPECT_EQ(read.message, c.message);
    EXPECT_EQ("it is" + read.message.substr(std::string(c.path).size() + 3), read.reason);
    EXPECT_TRUE(read.content.empty());
  }
}

TEST(RegularFile, AFileBeyondTheLimitIsRefused) {
  WriteFile("at_limit.ini", std::string(1000, 'x'));
  EXPECT_EQ(ReadRegularFile("at_limit.ini", 1000).content.size(), 1000u);
  EXPECT_EQ(ReadRegularFile("at_limit.ini", 999).status, Status::Refused);
  WriteFile("big.ini", std::string(kSettingsFileLimit + 1, 'x'));
  const Tfile_read read = ReadRegularFile("big.ini");
  EXPECT_EQ(read.status, Status::Refused);
  EXPECT_EQ(read.message, "big.ini is larger than 1 MB, too large for a settings file");
  EXPECT_TRUE(read.content.empty());
}

TEST(RegularFile, FailuresSayWhyInTheSystemsWords) {
  Tfile_read read = ReadRegularFile("nowhere.ini");
  EXPECT_EQ(read.status, Status::Missing);
  EXPECT_EQ(read.message, "Unable to open input file nowhere.ini: No such file or directory");
  ASSERT_EQ(symlink("gone.ini", "dangling.ini"), 0);
  EXPECT_EQ(ReadRegularFile("dangling.ini").status, Status::Missing);

  WriteFile("locked.ini", "x");
  ASSERT_EQ(chmod("locked.ini", 0), 0);
  WithoutPermissionOverride not_root;
  read = ReadRegularFile("locked.ini");
  EXPECT_EQ(read.status, Status::Failed);
  EXPECT_EQ(read.reason, "Permission denied");
  EXPECT_EQ(read.message, "Unable to open input file locked.ini: Permission denied");
}

}  // namespace

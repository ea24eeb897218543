#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <clocale>
#include <cstdio>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  // QApplication has set the user's locale; numbers stay in the C locale,
  // as in the program.
  std::setlocale(LC_NUMERIC, "C");
  // The program reads and writes its files by bare names in the current
  // folder. Every test program runs in a temporary folder of its own,
  // removed at its end, so nothing a test writes lands where it was started.
  // Readable by all, as a working folder usually is: some tests save as
  // another user.
  QTemporaryDir folder;
  if (!folder.isValid() || chmod(QFile::encodeName(folder.path()).constData(), 0755) != 0 ||
      !QDir::setCurrent(folder.path())) {
    std::fprintf(stderr, "No temporary folder to run in\n");
    return 1;
  }
  const int result = RUN_ALL_TESTS();
  QDir::setCurrent(QDir::tempPath());
  return result;
}

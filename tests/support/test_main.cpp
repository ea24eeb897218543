#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  // QApplication has set the user's locale; numbers stay in the C locale,
  // as in the program.
  std::setlocale(LC_NUMERIC, "C");
  return RUN_ALL_TESTS();
}

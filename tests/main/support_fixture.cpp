#include "support_fixture.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <fstream>
#include <sstream>

#include "chart/Tchart.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "windows/Tsmall.h"

void MainWindowTest::SetUp() {
  ASSERT_TRUE(folder_.isValid());
  // Readable by all, as a working folder usually is: some tests save as
  // another user.
  ASSERT_EQ(chmod(QFile::encodeName(folder_.path()).constData(), 0755), 0);
  previous_folder_ = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(folder_.path()));
  sensor = std::make_unique<Tsensor>(port, clock);
  sensor->ReadCalibration();
  ProgramState& program = Program();
  program.sensor = sensor.get();
  station = std::make_unique<Tstation>(clock);
  station->UseSensor(sensor.get());
  program.station = station.get();
  program.clock = &clock;
  program.dialogs = &dialogs;
  program.closing = false;
  program.terminate_requests = 0;
  small = new TWsmall;
  program.Wsmall = small;
  chart = new TWchart;
  program.Wchart = chart;
  wmain = new TWmain;
  program.Wmain = wmain;
  wmain->InitDisplays();
}

void MainWindowTest::TearDown() {
  ProgramState& program = Program();
  program.ClearAliveFlags();
  delete wmain;
  delete chart;
  delete small;
  program.Wmain = nullptr;
  program.Wchart = nullptr;
  program.Wsmall = nullptr;
  program.station = nullptr;
  station.reset();
  program.sensor = nullptr;
  program.clock = nullptr;
  program.dialogs = nullptr;
  program.closing = false;
  sensor.reset();
  QDir::setCurrent(previous_folder_);
}

void MainWindowTest::Ticks(int n, int seconds) {
  for (int i = 0; i < n; ++i) {
    clock.AdvanceSeconds(seconds);
    wmain->OnTimer();
    ShowLaterBoxes();
  }
}

void MainWindowTest::ShowLaterBoxes() {
  QCoreApplication::sendPostedEvents(wmain, QEvent::MetaCall);
}

std::string MainWindowTest::ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void MainWindowTest::WriteFile(const std::string& name, const std::string& text) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out << text;
}

#include "support_program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "main/Entry.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "windows/Tintro.h"

QString DefaultSetupPath() {
  return QString::fromUtf8(BAROMETER_SOURCE_DIR "/packaging/setup.ini");
}

void ProgramTest::SetUp() {
  ASSERT_TRUE(dir_.isValid());
  previous_dir_ = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir_.path()));
}

void ProgramTest::TearDown() {
  EndProgramNow();
  QDir::setCurrent(previous_dir_);
}

void ProgramTest::InstallDefaultSetup() {
  ASSERT_TRUE(QFile::copy(DefaultSetupPath(), PathOf("setup.ini")));
}

void ProgramTest::StartProgram() {
  BeginProgram(program_port != nullptr ? *program_port : port, clock, dialogs);
  CreateWindows();
  running_ = true;
}

void ProgramTest::RunDetection() {
  TWintro* intro = Program().Wintro;
  ASSERT_NE(intro, nullptr);
  for (int tick = 0; tick < 20 && intro->Timer1->isActive(); ++tick) {
    clock.AdvanceMs(300);
    intro->OnTimer();
    ShowLaterBoxes();
  }
  ASSERT_FALSE(intro->Timer1->isActive()) << "detection did not finish";
}

void ProgramTest::StartMeasuringProgram() {
  InstallDefaultSetup();
  StartProgram();
  RunDetection();
}

void ProgramTest::MeasureTicks(int n) {
  for (int i = 0; i < n; ++i) {
    clock.AdvanceSeconds(1);
    Program().Wmain->OnTimer();
    ShowLaterBoxes();
  }
}

void ProgramTest::ShowLaterBoxes() {
  if (Program().Wmain != nullptr)
    QCoreApplication::sendPostedEvents(Program().Wmain, QEvent::MetaCall);
}

void ProgramTest::EndProgramNow() {
  if (!running_) return;
  running_ = false;
  EndProgram();
}

QString ProgramTest::PathOf(const QString& name) const {
  return dir_.filePath(name);
}

bool Exists(const QString& path) {
  return QFileInfo::exists(path);
}

std::string ReadFile(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const QString& path, const std::string& text) {
  std::ofstream out(path.toStdString(), std::ios::binary);
  out << text;
}

std::string ValueOf(const std::string& file_text, const std::string& key) {
  std::istringstream lines(file_text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, key.size() + 1, key + "\t") == 0) return line.substr(key.size() + 1);
  }
  return "";
}

PrintedPage RenderPrintedPage(const QString& pdf, const QString& png_base) {
  PrintedPage page;
  QProcess pdftoppm;
  pdftoppm.start("pdftoppm", {"-png", "-r", "60", "-singlefile", pdf, png_base});
  if (!pdftoppm.waitForStarted()) return page;
  page.rendered = true;
  EXPECT_TRUE(pdftoppm.waitForFinished(60000));
  const QImage image(png_base + ".png");
  EXPECT_FALSE(image.isNull()) << "pdftoppm made no page of " << pdf.toStdString();
  page.width = image.width();
  page.height = image.height();
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      page.navy += c.blue() > 100 && c.red() < 30 && c.green() < 30;
      page.yellow += c.red() > 200 && c.green() > 200 && c.blue() < 80;
    }
  return page;
}

// The README's pictures, taken of the program's own windows on the
// simulated module in virtual time. Not a test: docs/screenshots/take.sh
// runs it on an X display under a window manager, at scale 1 and 2, with
// BAROMETER_SHOTS naming the folder the pictures go to.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "chart/Tchart.h"
#include "chart/Tchart_settings.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "settings/Tsettings.h"
#include "support_program.h"
#include "windows/Tabout.h"
#include "windows/Tbarograph.h"
#include "windows/Thelp.h"
#include "windows/Tintro.h"
#include "windows/Tsmall.h"

namespace {

// Lets the window manager map and frame what was shown, and Qt paint it.
void Settle(int ms = 400) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

QString Folder() {
  const char* folder = std::getenv("BAROMETER_SHOTS");
  return QString::fromLocal8Bit(folder != nullptr ? folder : ".");
}

// "name.png", or "name_2x.png" on a screen of ratio 2.
void Save(QWidget* widget, const QString& name) {
  Settle();
  const QPixmap picture = widget->grab();
  const QString suffix = picture.devicePixelRatio() > 1.5 ? "_2x" : "";
  const QString path = QDir(Folder()).filePath(name + suffix + ".png");
  EXPECT_TRUE(picture.save(path)) << path.toStdString();
}

// A dialog that the program shows modally: taken once it is up, then
// closed, as the user would.
void SaveModal(const std::function<void()>& open, const QString& name) {
  QTimer::singleShot(300, [name] {
    QWidget* dialog = QApplication::activeModalWidget();
    EXPECT_NE(dialog, nullptr) << name.toStdString();
    if (dialog == nullptr) return;
    Save(dialog, name);
    if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
  });
  open();
}

class Screenshots : public ProgramTest {
 protected:
  // One sample at the next minute.
  void Minute() {
    minute_ = minute_ == 0 ? (clock.Now() / 60 + 1) * 60 : minute_ + 60;
    clock.SetNow(minute_ + 5);
    Program().Wmain->OnTimer();
  }
  std::time_t minute_ = 0;
};

}  // namespace

// Eight days on the simulated module with five hours unplugged, ending in a
// fall of 6 mbar in 3 hours: the storm warning on the main and small
// windows, and the barograph over the week, in mbar and in inHg.
TEST_F(Screenshots, StormAndBarograph) {
  InstallDefaultSetup();
  StartProgram();
  Save(Program().Wintro, "splash");
  RunDetection();
  TWmain* w = Program().Wmain;
  for (int m = 0; m < 8 * 1440; ++m) {
    // The module unplugged for five hours on the third day: no record.
    module.SetUnplugged(m >= 2 * 1440 + 600 && m < 2 * 1440 + 900);
    Minute();
  }
  const double from = w->p_local, t = w->t_local;
  for (int m = 1; m <= 180; ++m) {
    module.SetFixedConditions(from - 6.0 * m / 180, t);
    Minute();
  }
  Save(w, "main_storm");
  w->PageControl1->setCurrentIndex(1);
  Save(w, "main_storm_altimeter");
  w->PageControl1->setCurrentIndex(0);
  w->ViewBarograph1Click();
  TWbarograph* barograph = Program().Wbarograph;
  barograph->bt_span[0]->click();
  Save(barograph, "barograph_24h");
  barograph->bt_span[2]->click();
  Save(barograph, "barograph_7d");
  w->PressureUnits1[2]->trigger();
  barograph->bt_span[0]->click();
  Save(barograph, "barograph_inhg");
  Save(w, "main_storm_inhg");
  w->PressureUnits1[0]->trigger();
  barograph->hide();
  w->Minimize1Click();
  Save(Program().Wsmall, "small_storm");
}

// Twenty minutes, a sample a second, with the chart open; then every other
// window and dialog.
TEST_F(Screenshots, ChartAndDialogs) {
  StartMeasuringProgram();
  TWmain* w = Program().Wmain;
  w->ViewChart1Click();
  TWchart* chart = Program().Wchart;
  // Logging every sample to a file, as the red REC says.
  dialogs.file_answers.push_back(PathOf("samples.dat").toStdString());
  chart->Storesamplestofile1Click();
  MeasureTicks(240);
  Save(chart, "chart_pressure");
  chart->AltitudeTemperature1Click();
  Save(chart, "chart_altitude");
  chart->PressureTemperature1Click();
  SaveModal([chart] { chart->Setupdisplayrange1Click(); }, "range");
  // In the units with the longest names and the most places.
  w->PressureUnits1[3]->trigger();  // mmHg
  Save(chart, "chart_mmhg");
  SaveModal([chart] { chart->Setupdisplayrange1Click(); }, "range_mmhg");
  Save(w, "main_mmhg");
  w->PressureUnits1[2]->trigger();  // inHg
  w->Fahrenheit1->trigger();
  Save(chart, "chart_inhg");
  w->PressureUnits1[0]->trigger();
  w->Celsius1->trigger();
  chart->hide();

  Save(w, "main_barometer");
  w->PageControl1->setCurrentIndex(1);
  Save(w, "main_altimeter");
  w->PageControl1->setCurrentIndex(0);

  SaveModal([w] { w->MaboutClick(); }, "about");
  SaveModal([w] { w->Corrections1Click(); }, "corrections");
  SaveModal([w] { w->Moduleport1Click(); }, "port");
  SaveModal([w] { w->PublishtoMQTT1Click(); }, "mqtt");
  const char* pages[] = {"settings_measurements", "settings_altitude", "settings_sensor",
                         "settings_weather", "settings_forecast"};
  for (int page = 0; page < 5; ++page) {
    QTimer::singleShot(100, [page] {
      if (auto* tabs = Program().Wsettings->findChild<QTabWidget*>()) tabs->setCurrentIndex(page);
    });
    SaveModal([w] { w->Settings1Click(); }, pages[page]);
  }
  w->Helpcontents1Click();
  Save(Program().Whelp, "help");
  Program().Whelp->hide();

  // The Units submenu, open under the Settings menu.
  w->Settings2->popup(w->mapToGlobal(QPoint(80, 20)));
  Settle();
  w->Units1->popup(w->mapToGlobal(QPoint(240, 60)));
  Save(w->Units1, "units_menu");
  w->Units1->hide();
  w->Settings2->hide();
}

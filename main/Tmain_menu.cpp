// The main menu, the switch between the main and the small window, and the
// quit path that every close request goes through.

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <cstdio>
#include <string>

#include "archive/Tarchive.h"
#include "chart/Tchart.h"
#include "components/UiStyle.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/Dialogs.h"
#include "settings/Tport.h"
#include "settings/Tpublish.h"
#include "settings/Tsettings.h"
#include "windows/Tabout.h"
#include "windows/Tbarograph.h"
#include "windows/Thelp.h"
#include "windows/Tintro.h"
#include "windows/Tsmall.h"

namespace {

const char kDefaultSettingsFile[] = "setup.ini";
const char kSettingsExtension[] = "ini";

}  // namespace

void TWmain::BuildMenu() {
  MainMenu1 = menuBar();

  // A check item's handler decides the mark itself: the automatic toggle of
  // the menu is undone first, so that the handler sees the mark as it was
  // whether it runs from the menu or from code.
  auto add = [this](QMenu* menu, const QString& caption, void (TWmain::*handler)(),
                    bool checkable = false) {
    QAction* action = menu->addAction(caption);
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, action, handler, checkable](bool checked) {
      if (checkable) action->setChecked(!checked);
      (this->*handler)();
    });
    return action;
  };

  File1 = MainMenu1->addMenu("File");
  DetectmoduleonLPT11 = add(File1, "Detect module on LPT1", &TWmain::DetectmoduleonLPT11Click);
  DetectmoduleonLPT11->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
  Moduleport1 = add(File1, "Module port...", &TWmain::Moduleport1Click);
  File1->addSeparator();
  Loadsettings1 = add(File1, "Load settings ...", &TWmain::Loadsettings1Click);
  Loadsettings1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  SavesettingsAs1 = add(File1, "Save settings As ...", &TWmain::SavesettingsAs1Click);
  SavesettingsAs1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  Autosavesettingsonexit1 =
      add(File1, "Autosave settings on exit", &TWmain::Autosavesettingsonexit1Click, true);
  File1->addSeparator();
  PublishtoMQTT1 = add(File1, "Publish to MQTT...", &TWmain::PublishtoMQTT1Click);
  File1->addSeparator();
  Exit1 = add(File1, "Exit", &TWmain::Exit1Click);
  // Quitting and the help answer in every window that carries their
  // actions (the entry adds them to the program's other windows).
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  Exit1->setShortcutContext(Qt::ApplicationShortcut);

  Plots1 = MainMenu1->addMenu("Plots");
  ViewChart1 = add(Plots1, "View Chart", &TWmain::ViewChart1Click, true);
  ViewChart1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  ViewBarograph1 = add(Plots1, "View Barograph", &TWmain::ViewBarograph1Click);
  ViewBarograph1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));

  Settings2 = MainMenu1->addMenu("Settings");
  ClearMinMax1 = add(Settings2, "Clear min/max values", &TWmain::ClearMinMax);
  ClearMinMax1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  Minimize1 = add(Settings2, "Minimize", &TWmain::Minimize1Click);
  Minimize1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  Settings1 = add(Settings2, "Settings", &TWmain::Settings1Click);
  Settings1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
  // The reader's units; what is kept in files stays in mbar and deg C.
  Units1 = Settings2->addMenu("Units");
  auto* pressure_units = new QActionGroup(this);
  for (int i = 0; i < kPressureUnitCount; ++i) {
    const PressureUnit unit = kPressureUnits[i];
    PressureUnits1[i] = Units1->addAction(PressureUnitName(unit));
    PressureUnits1[i]->setCheckable(true);
    pressure_units->addAction(PressureUnits1[i]);
    connect(PressureUnits1[i], &QAction::triggered, this,
            [this, unit] { PressureUnit1Click(unit); });
  }
  Units1->addSeparator();
  auto* temperature_units = new QActionGroup(this);
  Celsius1 = Units1->addAction(QString::fromUtf8("\u00b0C"));
  Fahrenheit1 = Units1->addAction(QString::fromUtf8("\u00b0F"));
  for (QAction* action : {Celsius1, Fahrenheit1}) {
    action->setCheckable(true);
    temperature_units->addAction(action);
  }
  connect(Celsius1, &QAction::triggered, this,
          [this] { TemperatureUnit1Click(TemperatureUnit::Celsius); });
  connect(Fahrenheit1, &QAction::triggered, this,
          [this] { TemperatureUnit1Click(TemperatureUnit::Fahrenheit); });
  Corrections1 = add(Settings2, "Corrections...", &TWmain::Corrections1Click);

  Help1 = MainMenu1->addMenu("Help");
  Helpcontents1 = add(Help1, "Help", &TWmain::Helpcontents1Click);
  Helpcontents1->setShortcut(QKeySequence(Qt::Key_F1));
  Helpcontents1->setShortcutContext(Qt::ApplicationShortcut);
  Help1->addSeparator();
  Mabout = add(Help1, "About", &TWmain::MaboutClick);

  AssignMnemonics(MainMenu1);
  // A note at the end of the units, no command: added after the mnemonics,
  // so that none is underlined in it.
  Units1->addSeparator();
  Units1
      ->addAction(
          QString::fromUtf8("Files stay in mbar and \u00b0C: the data log, setup.ini, the record"))
      ->setEnabled(false);
  Units1->addAction("and the weather limits of the settings")->setEnabled(false);
}

void TWmain::ApplyMinimized() {
  TWsmall* small = SmallWindow();
  if (!small) return;
  if (minimized) {
    small->show();
    hide();
  } else {
    small->hide();
    show();
  }
}

void TWmain::ShowAutosaveCheck() {
  Autosavesettingsonexit1->setChecked(save_on_exit);
}

void TWmain::UncheckViewChart() {
  ViewChart1->setChecked(false);
}

int TWmain::ConfirmClose() {
  Dialogs* dialogs = Program().dialogs;
  if (!dialogs || !dialogs->Confirm("Close application ?")) return 0;
  // A request from outside may have closed while the question was open.
  if (!Program().closing) BeginClose(true);
  return 2;
}

std::string TWmain::BeginClose(bool save, bool quiet) {
  // Closing from the start: the timer stays off (OnTimer no longer restarts
  // it), and a request from outside while a box of the save is open does
  // not begin the close again.
  Program().closing = true;
  Timer1->stop();
  if (!save || !save_on_exit || settings_file_kept) return std::string();
  const std::string name = save_file_name.empty() ? kDefaultSettingsFile : save_file_name;
  if (!quiet) {
    SaveSettings(name);
    return std::string();
  }
  return SaveSettingsFile(name);
}

void TWmain::CloseWithoutQuestion() {
  if (Program().closing) return;
  // The record first: a box of the save below may wait for an answer that
  // never comes (a logout), and whatever ends the program then finds the
  // samples in the file.
  if (Program().archive != nullptr) Program().archive->Flush();
  // Before the measurement started the window holds only the defaults, and
  // the settings file has not been read: saving them would overwrite it.
  const std::string failed = BeginClose(settings_taken_, true);
  if (!failed.empty()) {
    std::fprintf(stderr, "%s\n", failed.c_str());
    std::fflush(stderr);
    Program().exit_status = 1;
  }
  TerminateApplication();
}

void TWmain::OnClose() {
  if (ConfirmClose() == 2) TerminateApplication();
}

void TWmain::closeEvent(QCloseEvent* event) {
  // Either the whole program ends or nothing happens: the window itself is
  // never closed or hidden by a close request.
  event->ignore();
  OnClose();
}

void TWmain::DetectmoduleonLPT11Click() {
  if (Program().Wintro && Program().Wintro_alive) Program().Wintro->StartSearch();
}

void TWmain::Moduleport1Click() {
  // Made when first asked for: it is no window of the start.
  if (Wport == nullptr) Wport = new TWport(this);
  Wport->OnShow();
  Wport->exec();
}

void TWmain::Loadsettings1Click() {
  Dialogs* dialogs = Program().dialogs;
  if (!dialogs) return;
  std::string name = open_file_name;
  if (!dialogs->OpenFileName(name, kSettingsExtension, "Load settings")) return;
  open_file_name = name;
  LoadSettings(name);
}

void TWmain::SavesettingsAs1Click() {
  Dialogs* dialogs = Program().dialogs;
  if (!dialogs) return;
  std::string name = save_file_name;
  if (!dialogs->SaveFileName(name, kSettingsExtension, "Save settings as")) return;
  save_file_name = name;
  SaveSettings(name);
}

void TWmain::Autosavesettingsonexit1Click() {
  settings_file_kept = false;  // a setting changed
  save_on_exit = !Autosavesettingsonexit1->isChecked();
  ShowAutosaveCheck();
}

void TWmain::Exit1Click() {
  ConfirmClose();
  if (Program().closing) TerminateApplication();
}

void TWmain::PublishtoMQTT1Click() {
  TWpublish dialog(this);
  dialog.OnShow();
  dialog.exec();
}

void TWmain::ViewChart1Click() {
  TWchart* chart = ChartWindow();
  if (ViewChart1->isChecked()) {
    ViewChart1->setChecked(false);
    if (chart) chart->hide();
  } else {
    ViewChart1->setChecked(true);
    if (chart) chart->show();
  }
}

void TWmain::ViewBarograph1Click() {
  TWbarograph* barograph = Program().Wbarograph;
  if (barograph == nullptr || !Program().Wbarograph_alive) return;
  barograph->show();
  barograph->raise();
  barograph->activateWindow();
}

void TWmain::Minimize1Click() {
  minimized = true;
  ApplyMinimized();
}

void TWmain::Settings1Click() {
  if (Program().Wsettings && Program().Wsettings_alive) Program().Wsettings->exec();
}

void TWmain::Helpcontents1Click() {
  if (Program().Whelp && Program().Whelp_alive) Program().Whelp->ShowPart();
}

void TWmain::MaboutClick() {
  if (Program().Wabout && Program().Wabout_alive) Program().Wabout->exec();
}

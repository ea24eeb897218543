#include "windows/Tintro.h"

#include <QCloseEvent>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <memory>

#include "components/Picture.h"
#include "components/UiStyle.h"
#include "main/Port_choice.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "platform/Dialogs.h"
#include "sensor/Tsensor.h"
#include "station/Tmodule_source.h"
#include "station/Tstation.h"

namespace {

QLabel* AddLabel(QWidget* parent, const QString& text, const QRect& geometry, bool bold) {
  auto* label = new QLabel(text, parent);
  label->setFont(ArialFont(13, bold));
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setWordWrap(true);
  return label;
}

}  // namespace

TWintro::TWintro(QWidget* parent) : QWidget(parent) {
  SetFixedDialogFrame(this, "Barometer", 310, 242);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }

  Panel1 = new QFrame(this);
  Panel1->setGeometry(16, 8, 281, 193);
  Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
  Panel1->setLineWidth(1);
  Panel1->setAutoFillBackground(true);
  QPalette white = Panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  Panel1->setPalette(white);

  // As wide as the line below it, so that the title stays on one line.
  AddLabel(Panel1, "Barometer / Altimeter software for Linux", QRect(8, 24, 265, 32), true);
  AddLabel(Panel1, "Norvatech - the Norvatech sensor module is required", QRect(8, 64, 265, 41),
           false);
  auto* logo = new Tpicture("logo", Panel1);
  logo->setGeometry(16, 112, 241, 33);
  AddLabel(Panel1, "www.norvatech.example", QRect(12, 152, 261, 25), false)->setWordWrap(false);

  lbstatus = AddLabel(this, "", QRect(20, 208, 265, 25), false);
  QPalette blue = lbstatus->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  lbstatus->setPalette(blue);

  Timer1 = new QTimer(this);
  Timer1->setInterval(300);
  connect(Timer1, &QTimer::timeout, this, [this] { OnTimer(); });

  Program().Wintro_alive = true;
}

TWintro::~TWintro() = default;

void TWintro::StartSearch() {
  // A search started again keeps the settings in force before its reset
  // changes them (once, also when it is restarted before its hand-over).
  ProgramState& program = Program();
  if (HandedOver && !settings_kept_ && program.Wmain != nullptr && program.Wmain_alive) {
    program.Wmain->KeepSettings();
    settings_kept_ = true;
  }
  detection.Start();
  Timer1->start();
  lbstatus->setText(QString::fromStdString(IioSensorChosen() ? "Searching " + ProgramPort().name
                                                             : "Searching barometer module on " +
                                                                   ProgramPort().name));
}

void TWintro::OnTimer() {
  ProgramState& program = Program();
  // The station's source; a sensor made without a station is searched on
  // its own.
  std::unique_ptr<Tmodule_source> own;
  Tsample_source* source = program.station ? program.station->Source() : nullptr;
  if (source == nullptr && program.sensor != nullptr) {
    own = std::make_unique<Tmodule_source>(*program.sensor);
    source = own.get();
  }
  // The search blocks the thread; the next tick comes 300 ms after it.
  if (Step == 1) Timer1->stop();
  switch (detection.Advance(source)) {
    case Tdetection::Action::kShow:
      // At the start the window is shown already; a search started from the
      // menu shows it again.
      if (!isVisible()) show();
      break;
    case Tdetection::Action::kSearched:
      Timer1->start();
      break;
    case Tdetection::Action::kMissing: {
      if (IioSensorChosen()) {
        // The kernel's sensor in the module's place: its reading said why.
        Timer1->stop();
        const PortState& port = ProgramPort();
        lbstatus->setText(QString::fromStdString("Error: " + port.name + " cannot be read"));
        if (program.dialogs != nullptr)
          program.dialogs->Information(
              "Note: The " + port.name + " cannot be read: " + detection.why +
              ".\n\nPlease check that its kernel driver is loaded (ls /sys/bus/iio/devices) or "
              "choose another sensor in File > Module port.\n");
        Timer1->start();
        break;
      }
      Timer1->stop();
      const PortState& port = ProgramPort();
      lbstatus->setText(QString::fromStdString("Error: No module found on " + port.name));
      if (program.dialogs != nullptr) {
        const std::string where =
            port.choice.kind == PortChoice::Kind::kLpt ? "parallel port" : port.name;
        std::string text = "Note: No module found on " + where +
                           ", please check the connection and/or plug-in the module.\n";
        if (!program.port_finding.empty()) text += "\n" + program.port_finding + "\n";
        // Which way to the module the program took.
        if (!port.description.empty()) text += "\nPort: " + port.description + "\n";
        program.dialogs->Information(text);
      }
      Timer1->start();
      break;
    }
    case Tdetection::Action::kFound:
      lbstatus->setText(IioSensorChosen()
                            ? QString::fromStdString("OK: " + ProgramPort().name + " found")
                            : QString("OK: module found"));
      break;
    case Tdetection::Action::kHandOver:
      hide();
      // Its window-system window goes with it, and the window's buffer with
      // that (the size of the window in memory shared with the X server); a
      // new search makes them anew when it shows the window.
      destroy();
      if (program.Wmain != nullptr && program.Wmain_alive) {
        program.Wmain->InitDisplays();
        program.Wmain->Timer1->start();
        program.Wmain->StartMeasuring(!settings_kept_);
        // Shown with its first values in it.
        program.Wmain->ApplyMinimized();
        HandedOver = true;
        settings_kept_ = false;
      }
      break;
    case Tdetection::Action::kIdle:
      Timer1->stop();
      break;
  }
}

void TWintro::closeEvent(QCloseEvent* event) {
  // The principal window: closing it ends the program at once, without the
  // quit confirmation and without saving.
  Timer1->stop();
  event->accept();
  TerminateApplication();
}

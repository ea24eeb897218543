// The desktop program as the recording service's viewer, against a stand-in
// service on a socket of the test's own.

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>

#include "components/Number_text.h"
#include "fakes/ScriptedNotifier.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "main/Tservice_view.h"
#include "settings/Tport.h"
#include "settings/Tpublish.h"
#include "settings/Tsettings.h"
#include "station/Tjson.h"
#include "support_fake_service.h"
#include "support_program.h"
#include "windows/Tintro.h"
#include "windows/Tsmall.h"

namespace {

class ServiceViewerTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    socket_path = PathOf("barometer.sock").toStdString();
    WriteFile(PathOf("barometer.ini"), "service_socket\t" + socket_path + "\n");
    service = std::make_unique<FakeService>(socket_path);
  }
  void TearDown() override {
    EndProgramNow();
    service.reset();
    ProgramTest::TearDown();
  }

  // Polls the viewer until `done` holds; a bound (not a timing) keeps a
  // broken viewer from hanging the suite.
  bool PollUntil(const std::function<bool()>& done, int rounds = 1000) {
    for (int i = 0; i < rounds; ++i) {
      if (Program().service != nullptr) Program().service->Poll();
      ShowLaterBoxes();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  static std::string Status() {
    return Program().Wmain->statusBar()->currentMessage().toStdString();
  }
  static std::string Shown(const QLabel* label) { return label->text().toStdString(); }
  static std::string Pressure(double mbar) {
    return PressureText(mbar, Program().readings.units.pressure).toStdString();
  }

  std::string socket_path;
  std::unique_ptr<FakeService> service;
};

TEST_F(ServiceViewerTest, ShowsTheServiceSamplesAndNeverTouchesThePort) {
  service->Start();
  StartProgram();
  ASSERT_NE(Program().service, nullptr);
  TWmain* wmain = Program().Wmain;
  EXPECT_EQ(Shown(Program().Wintro->lbstatus), "Connected to the recording service");
  EXPECT_NE(wmain->windowTitle().toStdString().find(
                "View of the recording service, measuring on LPT1 (simulated)"),
            std::string::npos);
  EXPECT_FALSE(Program().Wintro->Timer1->isActive()) << "no detection on a port";
  ASSERT_TRUE(PollUntil([] { return Program().service->Link().Fd() >= 0; }));

  service->Send(SampleLine(clock.Now(), 987.65, 1012.34, 21.5, 231.4, 4000, 3000));
  ASSERT_TRUE(PollUntil([&] { return Shown(wmain->lb_d1) == "4000"; }));
  EXPECT_EQ(Shown(wmain->lbpressure), Pressure(987.65));
  EXPECT_EQ(Shown(wmain->lbpresssea), Pressure(1012.34));
  EXPECT_EQ(Shown(wmain->lb_d2), "3000");
  EXPECT_EQ(Shown(wmain->lb_alti), "250.0");
  EXPECT_EQ(Program().station->Last().altitude, 231.4);
  EXPECT_EQ(Program().station->Weather(), WeatherSunny);
  // The small window shows the local pressure as well.
  EXPECT_EQ(Shown(Program().Wsmall->lbpresssea),
            Pressure(987.65) + " [" +
                PressureUnitText(Program().readings.units.pressure).toStdString() + "]");

  // A failed sample: "--", as on the port.
  service->Send(
      "{\"event\":\"sample\",\"time\":\"2023-11-14T22:13:21Z\",\"good\":false,\"d1\":0,\"d2\":0,"
      "\"reason\":\"no acknowledge\"}");
  ASSERT_TRUE(PollUntil([&] { return Shown(wmain->lbpressure) == "--"; }));

  EXPECT_EQ(module.ConversionCount(), 0) << "the viewer measured on the port";
  EXPECT_EQ(ErrorCount(), 0);
  EXPECT_EQ(InformationCount(), 0);
}

TEST_F(ServiceViewerTest, StationSettingsGoToTheServiceAndARefusalComesBackAsABox) {
  service->Start();
  StartProgram();
  ASSERT_NE(Program().service, nullptr);
  TWsettings* settings = Program().Wsettings;
  settings->OnShow();
  // The dialog shows the service's settings.
  EXPECT_EQ(settings->ed_n->text().toStdString(), "1");
  settings->ed_alti->setText("412");
  settings->OnKeyUpAlti();
  settings->bt_okClick();
  ASSERT_TRUE(PollUntil([&] { return !service->Received().empty(); }));
  const auto request = Tjson::Parse(service->Received().front());
  ASSERT_TRUE(request.has_value()) << service->Received().front();
  EXPECT_EQ(request->TextOf("request"), "set");
  const Tjson* sent = request->Find("settings");
  ASSERT_NE(sent, nullptr);
  // Only what changed goes, and the altitude stays the service's until it
  // announces the change.
  ASSERT_EQ(sent->members.size(), 1u) << service->Received().front();
  EXPECT_EQ(sent->NumberOf("altitude", 0), 412.0);
  EXPECT_EQ(Program().Wmain->GetParameter(kAltitude), 250.0);

  const long id = static_cast<long>(request->NumberOf("id", 0));
  service->Send("{\"event\":\"reply\",\"id\":" + std::to_string(id) +
                ",\"ok\":false,\"key\":\"altitude\",\"reason\":\"out of range\"}");
  ASSERT_TRUE(PollUntil([&] { return ErrorCount() > 0; }));
  EXPECT_NE(dialogs.calls.back().text.find("altitude: out of range"), std::string::npos)
      << dialogs.calls.back().text;

  // The corrections go to the service; the units stay the viewer's own.
  ReadingSettings readings = Program().readings;
  readings.pressure_correction = 1.5;
  readings.units.pressure = PressureUnit::InHg;
  Program().Wmain->ApplyReadingSettings(readings);
  ASSERT_TRUE(PollUntil([&] { return service->Received().size() >= 2; }));
  const auto second = Tjson::Parse(service->Received()[1]);
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->Find("settings")->NumberOf("pressure_correction", 0), 1.5);
  EXPECT_EQ(second->Find("settings")->Find("units"), nullptr);
  const std::string ini = ReadFile(PathOf("barometer.ini"));
  EXPECT_EQ(ValueOf(ini, "pressure_unit"), "inHg") << ini;
  EXPECT_EQ(ValueOf(ini, "pressure_correction"), "0") << "the service's correction, kept here";

  // A settings file loaded: its station settings are asked of the service,
  // its window settings taken here.
  WriteFile(PathOf("other.ini"), "set_altitude\t300.000000\nset_minimized\t1\n");
  Program().Wmain->LoadSettings(PathOf("other.ini").toStdString());
  ASSERT_TRUE(PollUntil([&] { return service->Received().size() >= 3; }));
  const auto third = Tjson::Parse(service->Received()[2]);
  ASSERT_TRUE(third.has_value());
  EXPECT_EQ(third->Find("settings")->NumberOf("altitude", 0), 300.0);
  EXPECT_EQ(Program().Wmain->GetParameter(kAltitude), 250.0) << "until the service announces it";
  EXPECT_EQ(Program().Wmain->GetParameter(kMinimized), 1.0);
}

// The request the fake service got last, read.
Tjson LastRequest(FakeService& service) {
  const std::vector<std::string> got = service.Received();
  if (got.empty()) return Tjson();
  return Tjson::Parse(got.back()).value_or(Tjson());
}

TEST_F(ServiceViewerTest, ThePortMqttAndCalibrationAreTheServicesAndItsStormIsShown) {
  // A service on a gpiochip, publishing, with the module's calibration.
  std::string hello = service->hello;
  hello.replace(hello.rfind("}}"), 2,
                ",\"mqtt_host\":\"broker.example\",\"mqtt_user\":\"station\",\"port\":\"gpio\","
                "\"gpio_chip\":\"/dev/gpiochip0\",\"gpio_clock\":17,\"gpio_data_out\":27,"
                "\"gpio_data_in\":22,\"gpio_power\":-1},"
                "\"calibration\":{\"w1\":50426,\"w2\":48623,\"w3\":54000,\"w4\":40000}}");
  service->hello = hello;
  // The person's own station settings, which their file keeps.
  WriteFile(PathOf("setup.ini"), "set_altitude\t100.000000\nset_save_on_exit\t1\n");
  ScriptedNotifier notifier;
  Program().notifier = &notifier;
  service->Start();
  StartProgram();
  ASSERT_NE(Program().service, nullptr);
  TWmain* wmain = Program().Wmain;
  ASSERT_TRUE(PollUntil([&] { return service->Clients() == 1; }));

  // The calibration page: the service's words, read only.
  TWsettings* settings = Program().Wsettings;
  settings->OnShow();
  EXPECT_EQ(settings->ed_w1->text().toStdString(), "50426");
  EXPECT_EQ(settings->ed_w4->text().toStdString(), "40000");
  EXPECT_NE(settings->ed_c1->text().toStdString(), "0") << "the coefficients unpacked";
  EXPECT_TRUE(settings->ed_c3->isReadOnly());
  EXPECT_TRUE(settings->Button1->isHidden()) << "nothing is read from a module here";

  // The port dialog shows the service's port; what changes is asked of it.
  ASSERT_TRUE(wmain->Moduleport1->isEnabled());
  {
    TWport dialog(wmain);
    dialog.OnShow();
    EXPECT_TRUE(dialog.rb_gpio->isChecked());
    EXPECT_EQ(dialog.ed_gpio_clock->text().toStdString(), "17");
    EXPECT_FALSE(dialog.bt_test->isEnabled()) << "the service holds the port";
    dialog.ed_gpio_clock->setText("5");
    dialog.bt_okClick();
  }
  ASSERT_TRUE(PollUntil([&] { return service->Received().size() == 1; }));
  Tjson request = LastRequest(*service);
  ASSERT_NE(request.Find("settings"), nullptr) << service->Received().back();
  EXPECT_EQ(request.Find("settings")->NumberOf("gpio_clock", 0), 5);
  EXPECT_EQ(request.Find("settings")->Find("gpio_data_out"), nullptr) << "only what changed";
  EXPECT_EQ(ReadFile(PathOf("barometer.ini")).find("gpio_clock"), std::string::npos);

  // MQTT likewise; an empty password keeps the service's.
  {
    TWpublish dialog(wmain);
    dialog.OnShow();
    EXPECT_EQ(dialog.ed_host->text().toStdString(), "broker.example");
    EXPECT_EQ(dialog.ed_user->text().toStdString(), "station");
    EXPECT_TRUE(dialog.ed_password->text().isEmpty());
    EXPECT_FALSE(dialog.ed_ca_file->isEnabled());
    dialog.ed_interval->setText("30");
    dialog.bt_okClick();
  }
  ASSERT_TRUE(PollUntil([&] { return service->Received().size() == 2; }));
  request = LastRequest(*service);
  ASSERT_NE(request.Find("settings"), nullptr) << service->Received().back();
  EXPECT_EQ(request.Find("settings")->NumberOf("mqtt_interval", 0), 30);
  EXPECT_EQ(request.Find("settings")->Find("mqtt_password"), nullptr);

  // The service's storm warning: told once as it rises, shown while it is up.
  const std::string up = ",\"storm_fall\":4.6,\"storm_since\":\"2023-11-14T22:10:00Z\"";
  auto storm_sample = [&](long t, bool active) {
    std::string line = SampleLine(t, 987.0, 1011.0, 20.0, 230.0, 4000, 3000);
    line.replace(line.find("\"storm_warning\":false"), 21,
                 active ? "\"storm_warning\":true" + up : "\"storm_warning\":false");
    return line;
  };
  service->Send("{\"event\":\"storm_raised\",\"fall\":4.6,\"since\":\"2023-11-14T22:10:00Z\"}");
  service->Send(storm_sample(clock.Now(), true));
  ASSERT_TRUE(PollUntil([&] { return !wmain->lb_storm->isHidden(); }));
  EXPECT_EQ(wmain->lb_storm->text().toStdString().rfind("Storm warning: \u22124.6", 0), 0u)
      << wmain->lb_storm->text().toStdString();
  service->Send(storm_sample(clock.Now() + 1, true));
  service->Send(storm_sample(clock.Now() + 2, false));
  ASSERT_TRUE(PollUntil([&] { return wmain->lb_storm->isHidden(); }));
  ASSERT_EQ(notifier.sent.size(), 1u);
  EXPECT_EQ(notifier.sent[0].summary, "Storm warning");

  // The autosave keeps the person's own station settings, not the service's.
  EXPECT_EQ(wmain->GetParameter(kAltitude), 250.0);
  dialogs.confirm_answers = {true};
  wmain->Exit1Click();
  EXPECT_EQ(ValueOf(ReadFile(PathOf("setup.ini")), "set_altitude"), "100.000000");
  Program().notifier = nullptr;
}

TEST_F(ServiceViewerTest, TheViewerReconnectsByItselfWhenTheServiceComesBack) {
  service->Start();
  StartProgram();
  TWmain* wmain = Program().Wmain;
  ASSERT_TRUE(PollUntil([] { return Program().service->Link().Fd() >= 0; }));
  ASSERT_TRUE(PollUntil([&] { return service->Clients() == 1; }));
  service->Send(SampleLine(clock.Now(), 990.0, 1015.0, 20.0, 230.0, 100, 200));
  ASSERT_TRUE(PollUntil([&] { return Shown(wmain->lb_d1) == "100"; }));

  service->Send("{\"event\":\"stopping\"}");
  service->Stop();
  ASSERT_TRUE(PollUntil([] { return Status() == "Recording service stopped"; }));
  EXPECT_EQ(Shown(wmain->lbpressure), "--");

  service->Start();
  ASSERT_TRUE(PollUntil([] { return Status() == "Connected to the recording service"; }));
  ASSERT_TRUE(PollUntil([&] { return service->Clients() == 1; }));
  service->Send(SampleLine(clock.Now() + 5, 991.0, 1016.0, 20.5, 229.0, 101, 201));
  ASSERT_TRUE(PollUntil([&] { return Shown(wmain->lb_d1) == "101"; }));
  EXPECT_EQ(Shown(wmain->lbpressure), Pressure(991.0));
  EXPECT_EQ(ErrorCount() + InformationCount(), 0) << "no box to answer";
}

TEST_F(ServiceViewerTest, ARefusedUserIsToldToJoinTheGroupAndThePortStaysShut) {
  service->Start(/*refuse=*/true);
  StartProgram();
  ASSERT_NE(Program().service, nullptr);
  EXPECT_TRUE(Program().service->Refused());
  EXPECT_EQ(Shown(Program().Wintro->lbstatus), Tviewer_link::kRefusedText);
  EXPECT_FALSE(Program().Wintro->Timer1->isActive()) << "no detection on a port";
  ShowLaterBoxes();
  ASSERT_EQ(InformationCount(), 1);
  EXPECT_NE(dialogs.calls.back().text.find("sudo adduser $USER barometer"), std::string::npos);
  PollUntil([] { return false; }, 120);  // more than one retry: still refused
  EXPECT_TRUE(Program().service->Refused());
  EXPECT_EQ(module.ConversionCount(), 0);
}

TEST_F(ServiceViewerTest, WithoutAServiceTheProgramMeasuresOnThePort) {
  // The socket's path names nothing.
  InstallDefaultSetup();
  StartProgram();
  EXPECT_EQ(Program().service, nullptr);
  RunDetection();
  MeasureTicks(2);
  EXPECT_GT(module.ConversionCount(), 0);
  EXPECT_NE(Shown(Program().Wmain->lbpressure), "--");
}

}  // namespace

// The desktop program as the recording service's viewer, against a stand-in
// service on a socket of the test's own.

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>

#include "components/Number_text.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "main/Tservice_view.h"
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

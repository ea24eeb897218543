// The measurement cycle on the simulated module, and the displays it drives.

#include <QAction>
#include <QTimer>
#include <cmath>
#include <limits>
#include <vector>

#include "atmosphere/Altitude.h"
#include "chart/Plot_time.h"
#include "chart/Tchart.h"
#include "components/Lcd_bar.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "station/Tpublisher.h"
#include "support_fixture.h"
#include "windows/Tsmall.h"

namespace {

double Number(const QLabel* label) {
  return label->text().section(' ', 0, 0).toDouble();
}

}  // namespace

TEST_F(MainWindowTest, SamplesAreTakenEveryTsTicksAndAtOnceAfterANewTs) {
  Conditions(1000, 15);
  wmain->StartMeasuring();
  const int start = Conversions();

  Ticks(3);  // ts = 1: one sample (two conversions) per tick
  EXPECT_EQ(Conversions(), start + 6);
  EXPECT_TRUE(wmain->Timer1->isActive());

  wmain->SetParameter(2, 60);  // a new ts samples at once
  EXPECT_EQ(Conversions(), start + 8);
  Ticks(59);
  EXPECT_EQ(Conversions(), start + 8);
  Ticks(1);
  EXPECT_EQ(Conversions(), start + 10);
  EXPECT_EQ(wmain->GetParameter(2), 60);

  // Once quitting is confirmed the tick leaves the timer off.
  Program().closing = true;
  Ticks(1);
  EXPECT_FALSE(wmain->Timer1->isActive());
}

TEST_F(MainWindowTest, FirstSampleWithoutAltitudeStandsForZeroMetres) {
  Conditions(1000, 15);
  wmain->StartMeasuring();

  // No setup.ini in the working folder: reported, and the program goes on.
  ASSERT_EQ(dialogs.CountOf(ScriptedDialogs::Kind::Error), 1);
  EXPECT_EQ(dialogs.calls[0].text,
            "Error : Unable to open input file setup.ini: No such file or directory");

  EXPECT_NEAR(wmain->p_sea, sensor->Pressure, 0.1);  // not local + 1013.25
  EXPECT_NEAR(wmain->alt_shown, 0, 1.0);
  EXPECT_EQ(Text(wmain->lb_alti), "0.0");
  EXPECT_EQ(Text(wmain->lbpresssea), FormatFixed(wmain->p_sea, 2).toStdString());
  EXPECT_EQ(Text(wmain->lb_d1), std::to_string(sensor->GetD1()));
  EXPECT_EQ(Text(wmain->lb_d2), std::to_string(sensor->GetD2()));
  // The minima and maxima start from the first sample, not from zero.
  EXPECT_EQ(wmain->p_sea_min, wmain->p_sea);
  EXPECT_EQ(wmain->p_sea_max, wmain->p_sea);
  EXPECT_EQ(wmain->t_min, sensor->Temperature);
  EXPECT_EQ(wmain->alt_max, wmain->alt_shown);
}

TEST_F(MainWindowTest, MinimaStartFromTheFirstSampleAlsoWhenTheFileHasNoAltitude) {
  // The load restarts the minima and maxima before any sea-level pressure
  // has been computed; they must not start from that empty value.
  WriteFile("setup.ini", "set_sampling_n\t1\n");
  Conditions(1000, 15);
  wmain->StartMeasuring();
  EXPECT_NEAR(wmain->p_sea, 1000, 0.1);
  EXPECT_EQ(wmain->p_sea_min, wmain->p_sea);
  EXPECT_EQ(wmain->p_sea_max, wmain->p_sea);
  EXPECT_EQ(wmain->alt_min, wmain->alt_shown);
  EXPECT_EQ(wmain->alt_max, wmain->alt_shown);
}

TEST_F(MainWindowTest, DetectionAgainWithoutAnAltitudeInTheFileStartsOverAtZeroMetres) {
  Conditions(980, 15);
  wmain->StartMeasuring();
  wmain->SetParameter(3, 450);
  Ticks(1);
  ASSERT_NEAR(wmain->p_sea - sensor->Pressure, 1013.25 - PressureFromAltitude(450), 1e-9);

  // What the end of a detection does; there is still no setup.ini.
  wmain->InitDisplays();
  wmain->StartMeasuring();
  // The setting went back to 0 m, and so did the references: the shown
  // setting, the sea-level pressure and the altimeter agree again.
  EXPECT_EQ(wmain->GetParameter(3), 0);
  EXPECT_EQ(Text(wmain->lb_alti), "0.0");
  EXPECT_NEAR(wmain->p_sea - sensor->Pressure, 1013.25 - PressureFromAltitude(0), 1e-9);
  EXPECT_NEAR(wmain->alt_shown, 0, 1.0);
  // That step of the sea-level pressure is no weather: the history and the
  // minima and maxima start over.
  EXPECT_NEAR(wmain->meteo->GetHistory(0), wmain->p_sea, 1e-9);
  EXPECT_EQ(wmain->meteo->GetHistory(1), -1);
  EXPECT_EQ(wmain->p_sea_max, wmain->p_sea);
  EXPECT_EQ(wmain->alt_min, wmain->alt_shown);
}

TEST_F(MainWindowTest, ApplyingTheAltitudeSetsTheSeaLevelOffsetAndReZeroesTheAltimeter) {
  Conditions(980, 15);
  wmain->StartMeasuring();

  wmain->SetParameter(3, 250);
  EXPECT_EQ(Text(wmain->lb_alti), "250.0");
  EXPECT_EQ(Text(wmain->lb_altifeet), "820.2");
  EXPECT_NEAR(wmain->alt_shown, 250, 2);
  // About 30 mbar between 250 m and sea level.
  EXPECT_NEAR(wmain->p_sea - sensor->Pressure, 1013.25 - PressureFromAltitude(250), 1e-9);
  EXPECT_GT(wmain->p_sea - sensor->Pressure, 29);
  EXPECT_LT(wmain->p_sea - sensor->Pressure, 31);
  Ticks(1);
  const double p_sea_before = wmain->p_sea;
  ASSERT_NE(wmain->meteo->GetHistory(0), -1);

  // One mbar less: the altimeter climbs about 8.5 m, p_sea drops 1 mbar.
  Conditions(979, 15);
  Ticks(1);
  EXPECT_NEAR(wmain->alt_shown, 258.5, 2);
  EXPECT_NEAR(wmain->p_sea, p_sea_before - 1, 0.1);
  const double alt_max = wmain->alt_max;

  // The same altitude again re-zeroes the altimeter at the present
  // pressure, but keeps the history and the minima and maxima.
  wmain->SetParameter(3, 250);
  EXPECT_NEAR(wmain->alt_shown, 250, 2);
  EXPECT_EQ(wmain->alt_max, alt_max);
  EXPECT_NE(wmain->meteo->GetHistory(0), -1);

  // A different altitude also restarts them.
  wmain->SetParameter(3, 300);
  EXPECT_EQ(wmain->meteo->GetHistory(0), -1);
  EXPECT_EQ(wmain->alt_min, wmain->alt_max);
  EXPECT_EQ(wmain->p_sea_min, wmain->p_sea_max);
}

TEST_F(MainWindowTest, MinimaAndMaximaFollowTheSamplesUntilCleared) {
  Conditions(1000, 10);
  wmain->StartMeasuring();
  Conditions(1006, 20);
  Ticks(1);
  Conditions(994, 5);
  Ticks(1);
  Conditions(1001, 12);
  Ticks(1);

  EXPECT_NEAR(wmain->p_sea_max - wmain->p_sea_min, 12, 0.2);
  EXPECT_NEAR(wmain->t_max, 20, 0.05);
  EXPECT_NEAR(wmain->t_min, 5, 0.05);
  EXPECT_GT(wmain->alt_max - wmain->alt_min, 90);
  EXPECT_EQ(Text(wmain->lb_pmax), FormatFixed(wmain->p_sea_max, 2).toStdString() + " [mbar]");
  EXPECT_EQ(Text(wmain->lb_amin), FormatFixed(wmain->alt_min, 2).toStdString() + " [m]");
  EXPECT_EQ(wmain->lb_tmax->text(), FormatFixed(wmain->t_max, 2) + " [" + QChar(0xB0) + "C]");

  wmain->ClearMinMax1->trigger();  // "Clear min/max values"
  EXPECT_EQ(wmain->p_sea_min, wmain->p_sea);
  EXPECT_EQ(wmain->p_sea_max, wmain->p_sea);
  EXPECT_EQ(wmain->alt_min, wmain->alt_shown);
  EXPECT_EQ(wmain->alt_max, wmain->alt_shown);
  EXPECT_EQ(wmain->t_min, sensor->Temperature);
  EXPECT_EQ(wmain->t_max, sensor->Temperature);
  EXPECT_EQ(Text(wmain->lb_pmin), Text(wmain->lb_pmax));
}

TEST_F(MainWindowTest, PressureAndTemperatureDisplaysClampAndSkipEqualValues) {
  wmain->ShowPressure(2500);
  EXPECT_EQ(Text(wmain->lbpressure), "2000.00");
  wmain->ShowPressure(-5);
  EXPECT_EQ(Text(wmain->lbpressure), "0.00");
  wmain->ShowPressure(2000.5);
  EXPECT_EQ(Text(wmain->lbpressure), "2000.00");
  wmain->ShowPressure(std::nan(""));
  EXPECT_EQ(Text(wmain->lbpressure), "0.00");
  wmain->ShowPressure(1013.256);
  EXPECT_EQ(Text(wmain->lbpressure), "1013.26");

  const QString deg = QChar(0xB0);
  wmain->ShowTemperature(-20);  // column as for -13: h = -6
  EXPECT_EQ(wmain->lbcelsius->text(), "-20.00 " + deg + "C");
  EXPECT_EQ(wmain->lbfarenheit->text(), "-4.00 " + deg + "F");
  EXPECT_EQ(small->lbcelsius->text(), "-20.00 [" + deg + "C]");
  EXPECT_EQ(wmain->mercure->geometry(), QRect(72, 190, 9, 19));
  EXPECT_EQ(wmain->mercure->BrushColor(), QColor(58, 116, 197));  // bluish
  EXPECT_EQ(wmain->mercure2->BrushColor(), QColor(58, 116, 197));

  wmain->ShowTemperature(100);  // column as for 63: h = 151
  EXPECT_EQ(wmain->mercure->geometry(), QRect(72, 33, 9, 176));
  EXPECT_EQ(wmain->mercure->BrushColor(), QColor(215, 82, 40));  // red
  wmain->ShowTemperature(std::nan(""));
  EXPECT_EQ(wmain->mercure->geometry(), QRect(72, 190, 9, 19));

  // The start state after InitDisplays is 20 degrees: h = 62, greenish.
  wmain->InitDisplays();
  EXPECT_EQ(wmain->mercure->geometry(), QRect(72, 122, 9, 87));
  EXPECT_EQ(wmain->mercure->BrushColor(), QColor(126, 252, 129));
  EXPECT_EQ(wmain->verre1->BrushColor(), QColor(212, 240, 240));

  // An equal value redraws nothing.
  wmain->lbcelsius->setText("kept");
  wmain->ShowTemperature(20.0);
  EXPECT_EQ(Text(wmain->lbcelsius), "kept");
  wmain->lbpressure->setText("kept");
  wmain->ShowPressure(1013.256);
  EXPECT_EQ(Text(wmain->lbpressure), "kept");
}

TEST_F(MainWindowTest, AltitudeDrawingPicksTheRangeAndPlacesTheArrow) {
  // After InitDisplays: 0 m in range 0.
  EXPECT_FALSE(wmain->mountlow->isHidden());
  EXPECT_EQ(wmain->range_index, 0);

  wmain->ShowAltitude(1999);
  EXPECT_FALSE(wmain->mountlow->isHidden());
  EXPECT_EQ(Text(wmain->lbbottom), "-1000 m");
  EXPECT_EQ(Text(wmain->lbtop), "1999 m");

  wmain->ShowAltitude(2000);
  EXPECT_TRUE(wmain->mountlow->isHidden());
  EXPECT_FALSE(wmain->mountmid->isHidden());
  EXPECT_EQ(Text(wmain->lbbottom), "2000 m");
  EXPECT_EQ(wmain->scale_bottom, 2000);

  wmain->ShowAltitude(6000);
  EXPECT_TRUE(wmain->mountmid->isHidden());
  EXPECT_FALSE(wmain->mounthigh->isHidden());
  EXPECT_EQ(Text(wmain->lbbottom), "6000 m");

  wmain->ShowAltitude(12000);  // clamped to the top of range 2
  EXPECT_EQ(wmain->alt_shown, 10000);
  EXPECT_EQ(wmain->bvl1->y(), 24);
  EXPECT_EQ(wmain->shparrow->geometry(), QRect(14, 40, 5, 169));

  wmain->ShowAltitude(-1000);  // bottom of range 0: no bar
  EXPECT_TRUE(wmain->mounthigh->isHidden());
  EXPECT_FALSE(wmain->mountlow->isHidden());
  EXPECT_TRUE(wmain->shparrow->isHidden());
  EXPECT_EQ(wmain->imgdown->y(), 209);
  EXPECT_EQ(wmain->imgup->y(), 223);
  EXPECT_EQ(wmain->bvl1->y(), 224);

  wmain->ShowAltitude(500);  // h = 100, y = 124
  EXPECT_EQ(wmain->imgup->y(), 124);
  EXPECT_EQ(wmain->imgdown->y(), 408);
  EXPECT_FALSE(wmain->shparrow->isHidden());
  EXPECT_EQ(wmain->shparrow->geometry(), QRect(14, 140, 5, 69));
  EXPECT_EQ(wmain->bvl1->geometry(), QRect(8, 124, 72, 2));
  EXPECT_EQ(wmain->lbtop->y(), 108);
  EXPECT_EQ(Text(wmain->lbmeter), "500");
  EXPECT_EQ(Text(wmain->lbfeet), "1640");

  wmain->ShowAltitude(-700);  // a short bar below the arrowhead
  const int h = 224 - wmain->bvl1->y();
  ASSERT_GT(h, 0);
  ASSERT_LE(h, 32);
  EXPECT_EQ(wmain->shparrow->geometry(), QRect(14, 224 - h, 5, h + 1));
  EXPECT_EQ(wmain->imgdown->y(), 224 - h - 15);

  wmain->ShowAltitude(std::nan(""));  // not a number shows the bottom
  EXPECT_EQ(wmain->alt_shown, -1000);
  wmain->ShowAltitude(-std::numeric_limits<double>::infinity());
  EXPECT_EQ(wmain->alt_shown, -1000);
}

TEST_F(MainWindowTest, PrecipitationTextIsChosenByTheTemperatureWhenTheStateBecomesFour) {
  struct Case {
    double temperature;
    const char* text;
    QLabel* TWmain::*picture;
    QLabel* TWsmall::*small_picture;
  };
  const Case cases[] = {
      {2.9, "Snow & Rain", &TWmain::img_rainsnow, &TWsmall::img_rainsnow},
      {3.0, "Rainy", &TWmain::img_rainy, &TWsmall::img_rainy},
      {-1.0, "Snow & Rain", &TWmain::img_rainsnow, &TWsmall::img_rainsnow},
      {-1.1, "Snow", &TWmain::img_snow, &TWsmall::img_snow},
  };
  // The station decides from its temperature; the window shows the choice.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.temperature);
    station->meteo->Assess(1013);  // variable
    station->JudgeWeather();
    wmain->ShowWeather();
    ASSERT_EQ(Text(wmain->Panel5), "Variable");
    station->t_local = c.temperature;
    station->meteo->Assess(990);  // precipitation
    station->JudgeWeather();
    wmain->ShowWeather();
    EXPECT_EQ(Text(wmain->Panel5), c.text);
    EXPECT_FALSE((wmain->*c.picture)->isHidden());
    EXPECT_FALSE((small->*c.small_picture)->isHidden());
    EXPECT_TRUE(wmain->img_variable->isHidden());
    EXPECT_TRUE(small->img_variable->isHidden());
  }

  // While the state stays, the picture is not chosen again.
  station->t_local = 20;
  wmain->meteo->Assess(990);
  wmain->ShowWeather();
  EXPECT_EQ(Text(wmain->Panel5), "Snow");
}

TEST_F(MainWindowTest, HistoryBarsAndTrendAfterHoursOfFallingPressure) {
  Conditions(1000, 15);
  wmain->StartMeasuring();
  // One mbar less every hour, a sample every ten minutes.
  for (int hour = 1; hour <= 17; ++hour) {
    Conditions(1000 - hour, 15);
    Ticks(6, 600);
    if (hour == 3) {
      // Entries 0..3 exist; the bars of 4, 8 and 16 hours ago are off.
      EXPECT_TRUE(wmain->pb2->EnableDisplay());
      EXPECT_FALSE(wmain->pb4->EnableDisplay());
      EXPECT_FALSE(wmain->pb8->EnableDisplay());
      EXPECT_FALSE(wmain->pb16->EnableDisplay());
    }
  }
  const double now = wmain->p_sea;
  EXPECT_NEAR(wmain->meteo->GetHistory(0), now, 1e-9);
  for (Tlcd_bar* bar : {wmain->pb0, wmain->pb1, wmain->pb2, wmain->pb4, wmain->pb8, wmain->pb16}) {
    EXPECT_TRUE(bar->EnableDisplay());
    // The 14 mbar window moved down with the newest value at its bottom,
    // drawn from half a segment (1 mbar of 7 segments) below it.
    EXPECT_NEAR(bar->YLowRange(), now - 1, 1e-9);
    EXPECT_NEAR(bar->YHighRange(), now + 14, 1e-9);
  }
  // The lowest bar shows one lit segment, the one clamped at the top all.
  auto lit = [](const Tlcd_bar* bar) {
    int n = 0;
    for (int y = 0; y < bar->GetBitmap().height(); ++y)
      n += bar->GetBitmap().pixelColor(bar->width() / 2, y) == bar->ForeGroundColor();
    return n;
  };
  EXPECT_GT(lit(wmain->pb0), 0);
  EXPECT_LT(lit(wmain->pb0), lit(wmain->pb2));
  EXPECT_GT(lit(wmain->pb16), 5 * lit(wmain->pb0));
  EXPECT_NEAR(wmain->pb0->BarValue(), now, 1e-9);
  EXPECT_NEAR(wmain->pb1->BarValue(), now + 1, 0.1);
  EXPECT_NEAR(wmain->pb2->BarValue(), now + 2, 0.1);
  EXPECT_NEAR(wmain->pb4->BarValue(), now + 4, 0.1);
  EXPECT_NEAR(wmain->pb8->BarValue(), now + 8, 0.1);
  EXPECT_NEAR(wmain->pb16->BarValue(), now + 14, 1e-9);  // 16 mbar up: clamped to the top

  // A fall of about 1 mbar/h: quick down.
  EXPECT_NEAR(Number(wmain->lb_var), -1.0, 0.1);
  EXPECT_EQ(wmain->lb_var->text().indexOf('.'), wmain->lb_var->text().size() - 4);
  EXPECT_EQ(Text(wmain->pl_trend), "thunderstorm");
  EXPECT_EQ(wmain->shown_trend, TrendQuickDown);
  EXPECT_FALSE(small->img_quick_down->isHidden());
  EXPECT_TRUE(small->img_unch->isHidden());
  // The main window's own arrows are never shown.
  EXPECT_TRUE(wmain->img_quick_down->isHidden());

  // The same trend again only rewrites the variation.
  wmain->pl_trend->setText("kept");
  wmain->ShowTrend(TrendQuickDown, -2);
  EXPECT_EQ(Text(wmain->lb_var), "-2.000");
  EXPECT_EQ(Text(wmain->pl_trend), "kept");
}

TEST_F(MainWindowTest, WithoutTheSmallWindowWeatherAndTrendTextsStayButValuesMove) {
  Conditions(1000, 15);
  Program().Wsmall_alive = false;
  wmain->StartMeasuring();
  EXPECT_EQ(wmain->shown_weather, WeatherNone);
  EXPECT_EQ(Text(wmain->Panel5), "");
  EXPECT_EQ(wmain->shown_trend, 5);
  EXPECT_EQ(Text(wmain->pl_trend), "");
  EXPECT_EQ(Text(wmain->lbpressure), FormatFixed(wmain->p_shown, 2).toStdString());
  EXPECT_NEAR(wmain->p_shown, 1000, 0.1);
  EXPECT_EQ(Text(wmain->lb_var), "0.000");
  EXPECT_TRUE(wmain->pb0->EnableDisplay());
  EXPECT_NEAR(wmain->pb0->BarValue(), wmain->p_sea, 1e-9);
  EXPECT_EQ(wmain->lb_pmin->text(), wmain->lb_pmax->text());

  // Back: the next sample shows the weather.
  Program().Wsmall_alive = true;
  Ticks(1);
  EXPECT_EQ(wmain->shown_weather, WeatherPrecipitation);  // 1000 mbar at sea level
  EXPECT_EQ(Text(wmain->Panel5), "Rainy");
  EXPECT_EQ(Text(small->lbpresssea), FormatFixed(sensor->Pressure, 2).toStdString() + " [mbar]");
}

TEST_F(MainWindowTest, HiddenChartStillReceivesEverySample) {
  Conditions(1000, 15);
  ASSERT_TRUE(chart->isHidden());
  wmain->StartMeasuring();
  Ticks(4);
  EXPECT_EQ(chart->MeasurementCount(), 5);
  // The plots get the local pressure (not the sea-level one), the
  // temperature and the altitude shown, stamped with the calendar time.
  ASSERT_EQ(chart->pressure_plot->Count(), 5);
  EXPECT_NEAR(chart->pressure_plot->ValueAt(4), 1000, 0.1);
  EXPECT_NEAR(chart->temperature_plot->ValueAt(4), 15, 0.05);
  EXPECT_EQ(chart->altitude_plot->ValueAt(4), wmain->alt_shown);
  EXPECT_EQ(chart->temperature_plot->TimeAt(4), static_cast<double>(clock.Now()));
  Program().Wchart_alive = false;
  Ticks(2);
  EXPECT_EQ(chart->MeasurementCount(), 5);
}

TEST_F(MainWindowTest, WithoutSensorTheCycleOnlyKeepsTheTimerGoing) {
  station->UseSensor(nullptr);
  wmain->StartMeasuring();
  wmain->OnTimer();
  wmain->ClearMinMax();
  wmain->SetParameter(3, 450);
  EXPECT_TRUE(wmain->Timer1->isActive());
  EXPECT_EQ(wmain->GetParameter(1), 0);
  EXPECT_EQ(wmain->GetParameter(3), 0);  // the altitude needs a sample to apply
  EXPECT_EQ(Text(wmain->lb_d1), "--");
}

namespace {

// Keeps every sample the station hands out.
struct SampleLog : TstationSink {
  void OnSample(const Sample& sample) override { samples.push_back(sample); }
  std::vector<Sample> samples;
};

}  // namespace

TEST_F(MainWindowTest, TheWindowsShowWhatAStationAloneMeasuresOnTheSameModule) {
  SampleLog desktop;
  station->AddSink(&desktop, SinkOrder::kView);
  wmain->StartMeasuring();  // no setup.ini here: the settings in force
  Ticks(900);

  // A station with no window, on a module of the same seed, started the
  // same way at the same time.
  VirtualClock clock_alone{1700000000};
  SimulatedModule module_alone{clock_alone, 7};
  SimulatedModulePort port_alone{module_alone};
  Tsensor sensor_alone{port_alone, clock_alone};
  sensor_alone.ReadCalibration();
  Tstation alone(clock_alone);
  alone.UseSensor(&sensor_alone);
  SampleLog bare;
  alone.AddSink(&bare, SinkOrder::kView);
  alone.Measure(true);
  alone.Deliver();
  for (int i = 0; i < 900; ++i) {
    clock_alone.AdvanceSeconds(1);
    alone.Tick();
  }

  ASSERT_EQ(desktop.samples.size(), bare.samples.size());
  for (size_t i = 0; i < bare.samples.size(); ++i) {
    const Sample& a = desktop.samples[i];
    const Sample& b = bare.samples[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(a.time, b.time);
    EXPECT_EQ(a.good, b.good);
    EXPECT_EQ(a.d1, b.d1);
    EXPECT_EQ(a.d2, b.d2);
    EXPECT_EQ(a.pressure, b.pressure);
    EXPECT_EQ(a.temperature, b.temperature);
    EXPECT_EQ(a.sea_level_pressure, b.sea_level_pressure);
    EXPECT_EQ(a.altitude, b.altitude);
    EXPECT_EQ(a.weather, b.weather);
    EXPECT_EQ(a.trend, b.trend);
  }
  // And the window shows the last of them.
  const Sample& last = desktop.samples.back();
  EXPECT_EQ(Text(wmain->lbpressure), FormatFixed(last.pressure, 2).toStdString());
  EXPECT_EQ(Text(wmain->Panel5), WeatherText(last.weather, last.precipitation));
  station->RemoveSink(&desktop);
}

TEST_F(MainWindowTest, WhatIsPublishedComesFromTheStationNotFromTheLabels) {
  Conditions(990, 15);  // precipitation at 0 m
  wmain->StartMeasuring();
  Ticks(3);
  ASSERT_EQ(Text(wmain->Panel5), "Rainy");
  wmain->Panel5->setText("Sunny");
  wmain->pl_trend->setText("nonsense");
  Ticks(1);
  const TmqttState state = Tpublisher::StateOf(station->Last());
  EXPECT_EQ(state.weather, "Rainy");
  EXPECT_EQ(state.trend, "Constant");
  EXPECT_EQ(state.pressure, station->p_local);
}

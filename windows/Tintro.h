#pragma once

#include <QWidget>

#include "station/Tdetection.h"

class QCloseEvent;
class QFrame;
class QLabel;
class QTimer;

// The splash window. It drives the search for the sensor on the chosen port
// in steps on its 300 ms timer, shows the result and hands over to the main
// window. It is the program's principal window: closing it ends the program
// at once.
class TWintro : public QWidget {
 public:
  explicit TWintro(QWidget* parent = nullptr);
  ~TWintro() override;

  // Starts (or restarts) the search from step 0.
  void StartSearch();
  // One timer tick: runs step Step, then moves to the next step.
  void OnTimer();

  // The search, its step and its result.
  Tdetection detection;
  int& Step = detection.Step;
  bool& ModuleMissing = detection.ModuleMissing;
  // Whether a search has handed over to the main window already: the first
  // hand-over loads "setup.ini", later ones keep the settings in force.
  bool HandedOver = false;

  QTimer* Timer1 = nullptr;
  QFrame* Panel1 = nullptr;
  QLabel* lbstatus = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // The main window's settings were kept for this search's hand-over.
  bool settings_kept_ = false;
};

#pragma once

#include <QWidget>
#include <string>

class QCloseEvent;
class QFrame;
class QLabel;
class QTimer;

// The splash window. It looks for the module on LPT1 in steps on its 300 ms
// timer (or reads the IIO sensor chosen in its place), reports the result
// and hands over to the main window. It is the
// program's principal window: closing it ends the program at once.
class TWintro : public QWidget {
 public:
  explicit TWintro(QWidget* parent = nullptr);
  ~TWintro() override;

  // Starts (or restarts) the search from step 0.
  void StartSearch();
  // One timer tick: runs step Step, then moves to the next step.
  void OnTimer();

  // Step of the search sequence and its result.
  int Step = 0;
  bool ModuleMissing = false;
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
  // Why the IIO sensor did not answer.
  std::string missing_why_;
};

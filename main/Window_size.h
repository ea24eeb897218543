#pragma once

#include <QObject>
#include <QSize>
#include <string>

class QWidget;

// Keeps the size of a resizable window in barometer.ini, under two keys of
// its own (its width and height in pixels, the menu bar included, the
// frame not): the window opens at the size it was last given, never below
// its least size, and a size the user gives it is saved when the window
// hides or goes. A window never resized keeps its first size and writes
// nothing.
class Twindow_size : public QObject {
 public:
  Twindow_size(QWidget* window, std::string width_key, std::string height_key);
  ~Twindow_size() override;

  // Gives the window the size kept in barometer.ini, if there is one.
  void Restore();
  // The size noted last, and whether it still waits to be saved.
  QSize Kept() const { return kept_; }
  bool Unsaved() const { return unsaved_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Save();

  QWidget* window_;
  std::string width_key_;
  std::string height_key_;
  // The size the window showed at, or was last given while shown.
  QSize kept_;
  bool unsaved_ = false;
};

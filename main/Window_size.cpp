#include "main/Window_size.h"

#include <QEvent>
#include <QWidget>
#include <utility>

#include "main/Program.h"

namespace {

// Larger than any screen: a number beyond it is no size.
constexpr int kMost = 16384;

}  // namespace

Twindow_size::Twindow_size(QWidget* window, std::string width_key, std::string height_key)
    : QObject(window),
      window_(window),
      width_key_(std::move(width_key)),
      height_key_(std::move(height_key)) {
  window->installEventFilter(this);
}

Twindow_size::~Twindow_size() {
  // The program ends with the window shown: its size is kept all the same.
  Save();
}

void Twindow_size::Restore() {
  const Tbarometer_ini& ini = Program().ini;
  const QSize least = window_->minimumSizeHint().expandedTo(window_->minimumSize());
  const int width = ini.GetInt(width_key_, 0, 1, kMost);
  const int height = ini.GetInt(height_key_, 0, 1, kMost);
  if (width == 0 || height == 0) return;
  window_->resize(QSize(width, height).expandedTo(least));
}

bool Twindow_size::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_) {
    switch (event->type()) {
      case QEvent::Show:
        kept_ = window_->size();
        break;
      case QEvent::Resize:
        // Only a size given while the window shows is the user's.
        if (window_->isVisible() && kept_.isValid() && window_->size() != kept_) {
          kept_ = window_->size();
          Tbarometer_ini& ini = Program().ini;
          ini.SetInt(width_key_, kept_.width());
          ini.SetInt(height_key_, kept_.height());
          unsaved_ = true;
        }
        break;
      case QEvent::Hide:
        Save();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

void Twindow_size::Save() {
  if (!unsaved_) return;
  unsaved_ = false;
  // A size that cannot be saved is not worth a box: the window opens at
  // its first size next time, and the file keeps every other setting.
  Program().ini.Save();
}

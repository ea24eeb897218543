#pragma once

#include <QMessageBox>
#include <QStringList>
#include <memory>

#include "platform/Dialogs.h"

class QWidget;

// Real message boxes and file dialogs. The parent is looked up at each call
// (the active window), so the boxes stay centred on what the user sees.
class QtDialogs : public Dialogs {
 public:
  void Error(const std::string& text) override;
  void Information(const std::string& text) override;
  bool Confirm(const std::string& text) override;
  bool OpenFileName(std::string& file_name, const std::string& default_ext,
                    const std::string& title = std::string()) override;
  bool SaveFileName(std::string& file_name, const std::string& default_ext,
                    const std::string& title = std::string()) override;

  // A message box as the calls above show it: its icon drawn at the pixel
  // density of the screen it opens on, so that it is as sharp as the rest.
  static std::unique_ptr<QMessageBox> MakeBox(QMessageBox::Icon icon, const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QWidget* parent);
  // The file dialog's filters for extensions ("ini", "png svg"): one per
  // extension, then all files.
  static QStringList NameFilters(const std::string& extensions);
};

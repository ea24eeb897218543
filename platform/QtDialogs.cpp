#include "platform/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

QString Caption() {
  return QApplication::applicationName();
}

QString WithExtension(const QString& name, const std::string& default_ext) {
  if (name.isEmpty() || default_ext.empty() || !QFileInfo(name).suffix().isEmpty()) return name;
  return name + "." + QString::fromStdString(default_ext);
}

bool RunFileDialog(QFileDialog::AcceptMode mode, std::string& file_name,
                   const std::string& default_ext) {
  QFileDialog dialog(QApplication::activeWindow(), Caption());
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QString::fromStdString(default_ext));
  // Overwriting an existing settings file is not asked about.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  const QFileInfo initial(QString::fromStdString(file_name));
  if (!file_name.empty()) {
    dialog.setDirectory(initial.absolutePath());
    dialog.selectFile(initial.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  file_name = WithExtension(dialog.selectedFiles().first(), default_ext).toStdString();
  return true;
}

}  // namespace

void QtDialogs::Error(const std::string& text) {
  QMessageBox::critical(QApplication::activeWindow(), Caption(), QString::fromStdString(text));
}

void QtDialogs::Information(const std::string& text) {
  QMessageBox::information(QApplication::activeWindow(), Caption(), QString::fromStdString(text));
}

bool QtDialogs::Confirm(const std::string& text) {
  return QMessageBox::question(QApplication::activeWindow(), Caption(),
                               QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

bool QtDialogs::OpenFileName(std::string& file_name, const std::string& default_ext) {
  return RunFileDialog(QFileDialog::AcceptOpen, file_name, default_ext);
}

bool QtDialogs::SaveFileName(std::string& file_name, const std::string& default_ext) {
  return RunFileDialog(QFileDialog::AcceptSave, file_name, default_ext);
}

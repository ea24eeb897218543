#include "components/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QScreen>
#include <QStyle>

#include "assets/Assets.h"

namespace {

QString Caption() {
  return QApplication::applicationName();
}

QStringList Extensions(const std::string& extensions) {
  return QString::fromStdString(extensions).split(' ', Qt::SkipEmptyParts);
}

QString WithExtension(const QString& name, const QString& default_ext) {
  if (name.isEmpty() || default_ext.isEmpty() || !QFileInfo(name).suffix().isEmpty()) return name;
  return name + "." + default_ext;
}

// What the files of an extension are, in the filter's words.
QString KindOf(const QString& extension) {
  if (extension == "ini") return "Settings files";
  if (extension == "dat") return "Data logs";
  if (extension == "csv") return "Comma-separated values";
  if (extension == "png") return "PNG pictures";
  if (extension == "svg") return "SVG pictures";
  return extension.toUpper() + " files";
}

bool RunFileDialog(QFileDialog::AcceptMode mode, std::string& file_name,
                   const std::string& extensions, const std::string& title) {
  QFileDialog dialog(QApplication::activeWindow(),
                     title.empty() ? Caption() : QString::fromStdString(title));
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  const QStringList list = Extensions(extensions);
  const QString default_ext = list.isEmpty() ? QString() : list.first();
  dialog.setNameFilters(QtDialogs::NameFilters(extensions));
  dialog.setDefaultSuffix(default_ext);
  // Overwriting an existing settings file is not asked about.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  const QFileInfo initial(QString::fromStdString(file_name));
  if (!file_name.empty()) {
    dialog.setDirectory(initial.absolutePath());
    dialog.selectFile(initial.fileName());
    // A name of one of the offered kinds opens with that kind's filter.
    const int kind = list.indexOf(initial.suffix().toLower());
    if (kind >= 0) dialog.selectNameFilter(dialog.nameFilters().at(kind));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  // A name typed without extension takes the one of the filter chosen.
  QString suffix = default_ext;
  const int chosen = dialog.nameFilters().indexOf(dialog.selectedNameFilter());
  if (chosen >= 0 && chosen < list.size()) suffix = list.at(chosen);
  file_name = WithExtension(dialog.selectedFiles().first(), suffix).toStdString();
  return true;
}

int Ask(QMessageBox::Icon icon, const std::string& text, QMessageBox::StandardButtons buttons) {
  std::unique_ptr<QMessageBox> box =
      QtDialogs::MakeBox(icon, QString::fromStdString(text), buttons, QApplication::activeWindow());
  return box->exec();
}

}  // namespace

std::unique_ptr<QMessageBox> QtDialogs::MakeBox(QMessageBox::Icon icon, const QString& text,
                                                QMessageBox::StandardButtons buttons,
                                                QWidget* parent) {
  auto box = std::make_unique<QMessageBox>(icon, Caption(), text, buttons, parent);
  // The style's own icons come as small bitmaps, blurred when scaled up
  // on a dense screen: the program's own, drawn at the density of the
  // screen the box opens on, stand in for them.
  const char* name = nullptr;
  switch (icon) {
    case QMessageBox::Critical:
      name = "box_error";
      break;
    case QMessageBox::Warning:
      name = "box_warning";
      break;
    case QMessageBox::Question:
      name = "box_question";
      break;
    case QMessageBox::Information:
      name = "box_information";
      break;
    default:
      return box;
  }
  QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
  const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : qApp->devicePixelRatio();
  const int size = box->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, box.get());
  box->setIconPixmap(AssetPixmap(name, QSize(size, size), ratio));
  return box;
}

QStringList QtDialogs::NameFilters(const std::string& extensions) {
  QStringList filters;
  for (const QString& extension : Extensions(extensions))
    filters << KindOf(extension) + " (*." + extension + ")";
  filters << "All files (*)";
  return filters;
}

void QtDialogs::Error(const std::string& text) {
  Ask(QMessageBox::Critical, text, QMessageBox::Ok);
}

void QtDialogs::Information(const std::string& text) {
  Ask(QMessageBox::Information, text, QMessageBox::Ok);
}

bool QtDialogs::Confirm(const std::string& text) {
  std::unique_ptr<QMessageBox> box =
      MakeBox(QMessageBox::Question, QString::fromStdString(text),
              QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
  box->setDefaultButton(QMessageBox::No);
  return box->exec() == QMessageBox::Yes;
}

bool QtDialogs::OpenFileName(std::string& file_name, const std::string& default_ext,
                             const std::string& title) {
  return RunFileDialog(QFileDialog::AcceptOpen, file_name, default_ext, title);
}

bool QtDialogs::SaveFileName(std::string& file_name, const std::string& default_ext,
                             const std::string& title) {
  return RunFileDialog(QFileDialog::AcceptSave, file_name, default_ext, title);
}

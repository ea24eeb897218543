#include "record_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>

#include "chart/Tchart.h"
#include "main/Program.h"
#include "main/Tmain.h"
#include "settings/Tpublish.h"
#include "windows/Tbarograph.h"

std::vector<ProgramFileDialog> EveryFileDialog() {
  return {
      {"Load settings", [] { Program().Wmain->Loadsettings1Click(); }},
      {"Save settings as", [] { Program().Wmain->SavesettingsAs1Click(); }},
      {"Begin data logging", [] { Program().Wchart->Storesamplestofile1Click(); }},
      {"Save chart picture", [] { Program().Wchart->Savepicture1Click(); }},
      {"Export shown range", [] { Program().Wbarograph->Exportshownrange1Click(); }},
      {"Save barograph picture", [] { Program().Wbarograph->Savepicture1Click(); }},
      {"MQTT CA file",
       [] {
         TWpublish publish(Program().Wmain);
         publish.OnShow();
         publish.bt_ca_fileClick();
       }},
  };
}

namespace {

// Polls after the folder is listed, for the icons and kinds looked up as the
// view is drawn; and at most this many polls in all (a filter may show no
// file of the folder).
constexpr int kPollsAfterListing = 20;
constexpr int kPollsAtMost = 75;
constexpr int kPollMs = 20;

}  // namespace

FileDialogCanceller::FileDialogCanceller() {
  connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
  timer_.start(kPollMs);
}

void FileDialogCanceller::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    ++boxes_closed_;
    box->reject();
    return;
  }
  auto* dialog = qobject_cast<QFileDialog*>(modal);
  if (dialog == nullptr) {
    countdown_ = -1;
    return;
  }
  if (countdown_ < 0) countdown_ = kPollsAtMost;
  // Listed: the model holds the folder's files.
  auto* model = dialog->findChild<QFileSystemModel*>();
  if (model != nullptr) {
    const QModelIndex folder = model->index(dialog->directory().absolutePath());
    if (folder.isValid() && model->rowCount(folder) > 0 && countdown_ > kPollsAfterListing)
      countdown_ = kPollsAfterListing;
  }
  if (--countdown_ > 0) return;
  countdown_ = -1;
  ++cancelled_;
  dialog->reject();
}

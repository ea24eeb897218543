// The main window's side of the pressure record: its box, and the
// publisher's hand-over for a caller that drives it alone.

#include "archive/Tarchive.h"
#include "main/Program.h"
#include "main/Publishing.h"
#include "main/Tmain.h"

void TWmain::ShowArchiveNotice() {
  Tarchive* archive = Program().archive;
  if (archive == nullptr || !archive->HasNotice() || archive_notice_asked) return;
  archive_notice_asked = true;
  ShowLater([this] {
    archive_notice_asked = false;
    if (Tarchive* record = Program().archive) record->ShowNotice();
  });
}

void TWmain::PublishSample() {
  if (Tpublisher* publisher = Program().publisher) publisher->OnSample(station.Last());
}

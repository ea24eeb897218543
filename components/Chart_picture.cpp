#include "components/Chart_picture.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPicture>
#include <QPrintDialog>
#include <QPrinter>
#include <QSvgGenerator>
#include <algorithm>

#include "components/UiStyle.h"
#include "platform/Dialogs.h"

namespace {

// The header line's height above the chart on paper, in picture pixels.
constexpr int kHeaderHeight = 24;

}  // namespace

QImage Tchart_picture::Picture(qreal ratio) const {
  const QSize area = size();
  QImage image(area * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(background);
  QPainter painter(&image);
  render(painter);
  return image;
}

bool Tchart_picture::Save(const std::string& name, qreal ratio) const {
  const QString path = QString::fromStdString(name);
  if (path.endsWith(".svg", Qt::CaseInsensitive)) {
    const QSize area = size();
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(area);
    svg.setViewBox(QRect(QPoint(0, 0), area));
    svg.setTitle(title);
    if (header) svg.setDescription(header());
    QPainter painter;
    if (!painter.begin(&svg)) return false;
    painter.fillRect(QRect(QPoint(0, 0), area), background);
    render(painter);
    if (!painter.end()) return false;
    // The generator says nothing of a failed write: the file must be there.
    return QFileInfo(path).size() > 0;
  }
  return Picture(ratio).save(path, "PNG");
}

void Tchart_picture::SaveCommand(Dialogs* dialogs, std::string& name, qreal ratio) const {
  if (dialogs == nullptr) return;
  std::string chosen = name;
  if (!dialogs->SaveFileName(chosen, "png svg", "Save picture")) return;
  name = chosen;
  if (QFileInfo::exists(QString::fromStdString(chosen)) &&
      !dialogs->Confirm("Warning: File already exists. Do you really want to overwrite it ?"))
    return;
  if (!Save(chosen, ratio)) dialogs->Error("Error : Unable to write output file " + chosen);
}

void Tchart_picture::CopyCommand(qreal ratio) const {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(Picture(ratio));
}

bool Tchart_picture::PrintTo(QPrinter& printer) const {
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
  const QSize area = size();
  const qreal scale =
      std::min(page.width() / area.width(), page.height() / (area.height() + kHeaderHeight));
  painter.scale(scale, scale);
  painter.setFont(ArialFont(11, true));
  painter.setPen(Qt::black);
  if (header)
    painter.drawText(QRectF(0, 0, area.width(), kHeaderHeight - 4),
                     Qt::AlignLeft | Qt::AlignVCenter, title + ", " + header());
  painter.translate(0, kHeaderHeight);
  // Drawn onto a printer, a widget is first made a picture at the
  // printer's resolution: two of 12,658 x 4,612 pixels at 1,200 dpi, 4.9 MB
  // of PDF. Recorded as drawing commands first, the chart goes onto the
  // page as lines and text (and any picture at its own size).
  QPicture drawing;
  QPainter recorder;
  if (!recorder.begin(&drawing)) return false;
  render(recorder);
  recorder.end();
  // Played back, a recording is scaled from its own resolution to the
  // device's; the page's scale is set already.
  painter.scale(qreal(drawing.logicalDpiX()) / printer.logicalDpiX(),
                qreal(drawing.logicalDpiY()) / printer.logicalDpiY());
  painter.drawPicture(0, 0, drawing);
  return painter.end();
}

void Tchart_picture::PrintCommand(QWidget* parent, Dialogs* dialogs) const {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  printer.setDocName(title);
  const bool chosen = choose_printer ? choose_printer(printer) : [&] {
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle("Print " + title.toLower());
    return dialog.exec() == QDialog::Accepted;
  }();
  if (!chosen) return;
  // Printing to a file writes it: never over the pressure record.
  if (printer.outputFormat() == QPrinter::PdfFormat && dialogs != nullptr &&
      dialogs->RefusesToWrite(printer.outputFileName().toStdString()))
    return;
  if (!PrintTo(printer) && dialogs != nullptr)
    dialogs->Error("Error : Unable to print the " + title.toLower().toStdString());
}

#include "assets/Assets.h"

#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmapCache>
#include <QRectF>
#include <QSvgRenderer>
#include <QtGlobal>
#include <QtMath>

namespace {

// Largest edge rendered; a larger request gets a null pixmap rather than an
// allocation of gigabytes.
constexpr int kMaxEdge = 8192;

QString AssetPath(const QString& name) {
  return QStringLiteral(":/assets/%1.svg").arg(name);
}

// A visible stand-in for a picture that could not be loaded.
void PaintPlaceholder(QPainter& painter, const QRect& rect) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QColor magenta(255, 0, 255);
  painter.fillRect(rect, QColor(255, 0, 255, 60));
  painter.setPen(QPen(magenta, 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect.adjusted(1, 1, -1, -1));
  painter.drawLine(rect.topLeft(), rect.bottomRight());
  painter.drawLine(rect.topRight(), rect.bottomLeft());
  painter.restore();
}

// Where a picture of the given natural size lands inside `target`, keeping
// its aspect ratio and centred.
QRectF FitCentred(const QSizeF& natural, const QRectF& target) {
  if (natural.width() <= 0 || natural.height() <= 0) return target;
  const double scale = qMin(target.width() / natural.width(), target.height() / natural.height());
  const QSizeF fitted(natural.width() * scale, natural.height() * scale);
  return QRectF(target.x() + (target.width() - fitted.width()) / 2.0,
                target.y() + (target.height() - fitted.height()) / 2.0, fitted.width(),
                fitted.height());
}

// Draws the named picture into `target` of an active painter; paints the
// placeholder and warns when the picture is missing.
void PaintAsset(QPainter& painter, const QString& name, const QRect& target) {
  QSvgRenderer renderer(AssetPath(name));
  if (!renderer.isValid()) {
    qWarning("Picture \"%s\" is missing from the program's resources", qPrintable(name));
    PaintPlaceholder(painter, target);
    return;
  }
  QSizeF natural = renderer.viewBoxF().size();
  if (natural.isEmpty()) natural = renderer.defaultSize();
  renderer.setAspectRatioMode(Qt::IgnoreAspectRatio);
  // The pictures are smooth artwork: unlike the program's own drawings they
  // are rendered antialiased.
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  renderer.render(&painter, FitCentred(natural, QRectF(target)));
  painter.restore();
}

// Icon engine that renders the SVG afresh for every requested size.
class AssetIconEngine : public QIconEngine {
 public:
  explicit AssetIconEngine(const QString& name) : name_(name) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
    PaintAsset(*painter, name_, rect);
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
    QPixmap pm = AssetPixmap(name_, size, 1.0);  // the size asked is in device pixels
    if (mode == QIcon::Disabled && !pm.isNull()) {
      // A plain greyed copy, as the style would make.
      QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
      for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
          const int g = qGray(line[x]);
          line[x] = qRgba(g, g, g, qAlpha(line[x]) / 2);
        }
      }
      pm = QPixmap::fromImage(img);
    }
    return pm;
  }

  QIconEngine* clone() const override { return new AssetIconEngine(name_); }

  QString key() const override { return QStringLiteral("asset"); }

 private:
  QString name_;
};

}  // namespace

bool AssetExists(const QString& name) {
  if (!QFile::exists(AssetPath(name))) return false;
  QSvgRenderer renderer(AssetPath(name));
  return renderer.isValid();
}

namespace {

// Pictures up to this many device pixels (a 128 x 128 icon, 64 KiB) are kept
// in the pixmap cache: icons and box icons are asked for again and again,
// while larger pictures are a window's own and go with it.
constexpr int kMostCachedPixels = 128 * 128;

// The ratio to render at, and whether the request is one that can be met;
// warns about an oversized one.
bool Prepare(const QString& name, const QSize& size, qreal& ratio) {
  if (!(ratio > 0)) ratio = qApp ? qApp->devicePixelRatio() : 1.0;
  if (!size.isValid() || size.isEmpty()) return false;
  if (size.width() > kMaxEdge || size.height() > kMaxEdge) {
    qWarning("Picture \"%s\" requested at %dx%d, larger than %d pixels", qPrintable(name),
             size.width(), size.height(), kMaxEdge);
    return false;
  }
  return true;
}

QSize DeviceSize(const QSize& size, qreal ratio) {
  return QSize(qCeil(size.width() * ratio), qCeil(size.height() * ratio));
}

QPixmap Render(const QString& name, const QSize& size, qreal ratio) {
  const QSize device = DeviceSize(size, ratio);
  if (device.width() > kMaxEdge || device.height() > kMaxEdge) return QPixmap();
  QImage image(device, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    PaintAsset(painter, name, QRect(QPoint(0, 0), size));
  }
  return QPixmap::fromImage(image);
}

}  // namespace

QPixmap AssetPixmap(const QString& name, const QSize& size, qreal ratio) {
  if (!Prepare(name, size, ratio)) return QPixmap();
  const QSize device = DeviceSize(size, ratio);
  if (static_cast<qint64>(device.width()) * device.height() > kMostCachedPixels)
    return Render(name, size, ratio);
  const QString key =
      QStringLiteral("asset:%1:%2x%3@%4").arg(name).arg(size.width()).arg(size.height()).arg(ratio);
  QPixmap cached;
  if (QPixmapCache::find(key, &cached)) return cached;
  QPixmap pixmap = Render(name, size, ratio);
  if (!pixmap.isNull()) QPixmapCache::insert(key, pixmap);
  return pixmap;
}

QPixmap RenderAssetPixmap(const QString& name, const QSize& size, qreal ratio) {
  if (!Prepare(name, size, ratio)) return QPixmap();
  return Render(name, size, ratio);
}

QIcon AssetIcon(const QString& name) {
  if (!AssetExists(name))
    qWarning("Icon \"%s\" is missing from the program's resources", qPrintable(name));
  return QIcon(new AssetIconEngine(name));
}

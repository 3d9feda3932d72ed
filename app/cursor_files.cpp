#include "app/cursor_files.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>
#include <cmath>

namespace lumatrim {

namespace {

constexpr qsizetype kDirectorySize = 6;
constexpr qsizetype kEntrySize = 16;
// The pointer's size on a screen of density 1.
constexpr int kPointerSide = 32;

uint16_t Read16(const QByteArray& bytes, qsizetype at) {
  return qFromLittleEndian<uint16_t>(bytes.constData() + at);
}

}  // namespace

std::optional<CursorPicture> DecodeCursorFile(const QByteArray& bytes, int side) {
  if (bytes.size() < kDirectorySize + kEntrySize) return std::nullopt;
  const uint16_t type = Read16(bytes, 2);
  const int count = Read16(bytes, 4);
  if (Read16(bytes, 0) != 0 || (type != 1 && type != 2) || count == 0 ||
      bytes.size() < kDirectorySize + kEntrySize * count) {
    return std::nullopt;
  }
  // A cursor file is an icon file whose entries hold the hot spot where an icon keeps its planes
  // and depth; the image decoder reads it as an icon once the type says so.
  QByteArray asIcon = bytes;
  if (type == 2) {
    qToLittleEndian<uint16_t>(1, asIcon.data() + 2);
    for (int i = 0; i < count; ++i) {
      qToLittleEndian<uint16_t>(1, asIcon.data() + kDirectorySize + kEntrySize * i + 4);
      qToLittleEndian<uint16_t>(0, asIcon.data() + kDirectorySize + kEntrySize * i + 6);
    }
  }
  QBuffer buffer(&asIcon);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "ICO");
  std::optional<CursorPicture> best;
  for (int i = 0; i < count && reader.jumpToImage(i); ++i) {
    const QImage image = reader.read();
    if (image.isNull()) continue;
    if (best && std::abs(image.width() - side) > std::abs(best->image.width() - side)) continue;
    if (best && std::abs(image.width() - side) == std::abs(best->image.width() - side) &&
        image.width() < best->image.width()) {
      continue;
    }
    const qsizetype entry = kDirectorySize + kEntrySize * i;
    best =
        CursorPicture{image, type == 2 ? QPoint(Read16(bytes, entry + 4), Read16(bytes, entry + 6))
                                       : QPoint(image.width() / 2, image.height() / 2)};
  }
  return best;
}

std::optional<QCursor> LoadCursorFile(const QString& path, qreal density) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  if (density <= 0) density = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
  const std::optional<CursorPicture> picture =
      DecodeCursorFile(file.read(1 << 20), qRound(kPointerSide * density));
  if (!picture) return std::nullopt;
  // A picture drawn larger than the pointer's size is shown at its size, sharper on dense screens.
  const qreal ratio = qMax(1.0, qreal(picture->image.width()) / kPointerSide);
  QPixmap pixmap = QPixmap::fromImage(picture->image);
  pixmap.setDevicePixelRatio(ratio);
  return QCursor(pixmap, qRound(picture->hotSpot.x() / ratio),
                 qRound(picture->hotSpot.y() / ratio));
}

}  // namespace lumatrim

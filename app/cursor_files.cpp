#include "app/cursor_files.h"

#include <QFile>
#include <QPixmap>
#include <QtEndian>

namespace lumatrim {

namespace {

constexpr qsizetype kDirectorySize = 6;
constexpr qsizetype kEntrySize = 16;

uint16_t Read16(const QByteArray& bytes, qsizetype at) {
  return qFromLittleEndian<uint16_t>(bytes.constData() + at);
}

}  // namespace

std::optional<CursorPicture> DecodeCursorFile(const QByteArray& bytes) {
  if (bytes.size() < kDirectorySize + kEntrySize) return std::nullopt;
  const uint16_t type = Read16(bytes, 2);
  if (Read16(bytes, 0) != 0 || (type != 1 && type != 2) || Read16(bytes, 4) == 0) {
    return std::nullopt;
  }
  // A cursor file is an icon file whose entries hold the hot spot where an icon keeps its planes
  // and depth; the image decoder reads it as an icon once the type says so.
  QByteArray asIcon = bytes;
  if (type == 2) {
    qToLittleEndian<uint16_t>(1, asIcon.data() + 2);
    qToLittleEndian<uint16_t>(1, asIcon.data() + kDirectorySize + 4);
    qToLittleEndian<uint16_t>(0, asIcon.data() + kDirectorySize + 6);
  }
  CursorPicture picture;
  picture.image = QImage::fromData(asIcon, "ICO");
  if (picture.image.isNull()) return std::nullopt;
  picture.hotSpot =
      type == 2 ? QPoint(Read16(bytes, kDirectorySize + 4), Read16(bytes, kDirectorySize + 6))
                : QPoint(picture.image.width() / 2, picture.image.height() / 2);
  return picture;
}

std::optional<QCursor> LoadCursorFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const std::optional<CursorPicture> picture = DecodeCursorFile(file.read(1 << 20));
  if (!picture) return std::nullopt;
  return QCursor(QPixmap::fromImage(picture->image), picture->hotSpot.x(), picture->hotSpot.y());
}

}  // namespace lumatrim

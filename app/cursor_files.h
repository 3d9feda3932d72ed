// Mouse pointers from the cursor (.cur) and icon (.ico) files beside the executable.
#pragma once

#include <QByteArray>
#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <optional>

namespace lumatrim {

struct CursorPicture {
  QImage image;
  QPoint hotSpot;
};

// The first image of a cursor or icon file's bytes with its hot spot (an icon's is its centre),
// or nothing when the bytes are no such file.
std::optional<CursorPicture> DecodeCursorFile(const QByteArray& bytes);

// The pointer from a cursor or icon file; nothing when the file is missing or unreadable.
std::optional<QCursor> LoadCursorFile(const QString& path);

}  // namespace lumatrim

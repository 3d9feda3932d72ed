// Mouse pointers from the cursor (.cur) and icon (.ico) files beside the executable. A file may
// hold the picture at several sizes; the pointer takes the one that suits the screen's density.
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
  QPoint hotSpot;  // in the image's own pixels
};

// The image of a cursor or icon file's bytes nearest to side pixels wide (the larger of two
// equally near), with its hot spot (an icon's is its centre); nothing when the bytes are no such
// file.
std::optional<CursorPicture> DecodeCursorFile(const QByteArray& bytes, int side = 32);

// The pointer from a cursor or icon file for screens of the given density (by default the
// application's), 32 pixels wide at density 1; nothing when the file is missing or unreadable.
std::optional<QCursor> LoadCursorFile(const QString& path, qreal density = 0);

}  // namespace lumatrim

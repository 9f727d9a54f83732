#pragma once
// Windows cursor files (.cur): an icon directory of type 2 whose entries carry
// the hotspot where an icon's entries carry planes and bit count. Qt's ICO reader
// decodes the picture but drops the hotspot, so it is read here from the entry.

#include <QByteArray>
#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QString>

namespace ui {

struct CursorPicture {
  QImage image;
  QPoint hotspot;
};

// The first picture of the file and its hotspot. Throws std::runtime_error
// ("Invalid picture") when the bytes are not a cursor Qt can decode.
CursorPicture ParseCursorFile(const QByteArray& bytes);
// Reads the file; an unreadable file throws like a malformed one.
CursorPicture ReadCursorFile(const QString& path);
QCursor LoadCursorFile(const QString& path);

// One 32-bit picture with its AND mask (transparent where alpha is 0).
QByteArray EncodeCursorFile(const QImage& image, QPoint hotspot);

}  // namespace ui

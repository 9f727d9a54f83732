#include "platform/ui/qt/cursor_file.h"

#include <QFile>
#include <QPixmap>
#include <stdexcept>

namespace ui {
namespace {

constexpr int kDirectorySize = 6;
constexpr int kEntrySize = 16;
constexpr int kBitmapHeaderSize = 40;

uint32_t Read16(const QByteArray& b, int at) {
  return uint8_t(b[at]) | uint32_t(uint8_t(b[at + 1])) << 8;
}
uint32_t Read32(const QByteArray& b, int at) { return Read16(b, at) | Read16(b, at + 2) << 16; }

void Put16(QByteArray& b, uint32_t v) {
  b.append(char(v & 0xff));
  b.append(char((v >> 8) & 0xff));
}
void Put32(QByteArray& b, uint32_t v) {
  Put16(b, v & 0xffff);
  Put16(b, v >> 16);
}

[[noreturn]] void Invalid() { throw std::runtime_error("Invalid picture"); }

}  // namespace

CursorPicture ParseCursorFile(const QByteArray& bytes) {
  if (bytes.size() < kDirectorySize + kEntrySize) Invalid();
  if (Read16(bytes, 0) != 0 || Read16(bytes, 2) != 2 || Read16(bytes, 4) == 0) Invalid();
  const int entry = kDirectorySize;
  const uint32_t size = Read32(bytes, entry + 8);
  const uint32_t offset = Read32(bytes, entry + 12);
  if (offset > uint32_t(bytes.size()) || size > uint32_t(bytes.size()) - offset) Invalid();

  CursorPicture picture;
  picture.image = QImage::fromData(bytes, "ICO");
  if (picture.image.isNull()) Invalid();
  picture.hotspot = QPoint(int(Read16(bytes, entry + 4)), int(Read16(bytes, entry + 6)));
  picture.hotspot.setX(std::min(picture.hotspot.x(), picture.image.width() - 1));
  picture.hotspot.setY(std::min(picture.hotspot.y(), picture.image.height() - 1));
  return picture;
}

CursorPicture ReadCursorFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) Invalid();
  return ParseCursorFile(file.readAll());
}

QCursor LoadCursorFile(const QString& path) {
  CursorPicture picture = ReadCursorFile(path);
  return QCursor(QPixmap::fromImage(picture.image), picture.hotspot.x(), picture.hotspot.y());
}

QByteArray EncodeCursorFile(const QImage& source, QPoint hotspot) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  const int w = image.width(), h = image.height();
  const int mask_stride = ((w + 31) / 32) * 4;
  const uint32_t pixel_bytes = uint32_t(w * h * 4);
  const uint32_t mask_bytes = uint32_t(mask_stride * h);

  QByteArray out;
  Put16(out, 0);
  Put16(out, 2);  // cursor
  Put16(out, 1);
  out.append(char(w >= 256 ? 0 : w));
  out.append(char(h >= 256 ? 0 : h));
  out.append(char(0));
  out.append(char(0));
  Put16(out, uint32_t(hotspot.x()));
  Put16(out, uint32_t(hotspot.y()));
  Put32(out, kBitmapHeaderSize + pixel_bytes + mask_bytes);
  Put32(out, kDirectorySize + kEntrySize);

  Put32(out, kBitmapHeaderSize);
  Put32(out, uint32_t(w));
  Put32(out, uint32_t(h * 2));  // picture and mask
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, 0);  // BI_RGB
  Put32(out, pixel_bytes + mask_bytes);
  for (int i = 0; i < 4; ++i) Put32(out, 0);

  for (int y = h - 1; y >= 0; --y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < w; ++x) {
      out.append(char(qBlue(row[x])));
      out.append(char(qGreen(row[x])));
      out.append(char(qRed(row[x])));
      out.append(char(qAlpha(row[x])));
    }
  }
  for (int y = h - 1; y >= 0; --y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    QByteArray mask(mask_stride, '\0');
    for (int x = 0; x < w; ++x) {
      if (qAlpha(row[x]) == 0) mask[x / 8] = char(uint8_t(mask[x / 8]) | (0x80 >> (x % 8)));
    }
    out.append(mask);
  }
  return out;
}

}  // namespace ui

#include "app/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>
#include <string_view>

namespace app {
namespace {

// A database drum: body, bottom rim and top ellipse, in a 256-unit frame.
void DrawDrum(QPainter& p, QRectF box, QColor body, QColor top) {
  const qreal rim = box.height() * 0.16;
  QPainterPath path;
  path.moveTo(box.left(), box.top() + rim);
  path.lineTo(box.left(), box.bottom() - rim);
  path.arcTo(QRectF(box.left(), box.bottom() - 2 * rim, box.width(), 2 * rim), 180, 180);
  path.lineTo(box.right(), box.top() + rim);
  path.closeSubpath();
  QLinearGradient shade(box.topLeft(), box.topRight());
  shade.setColorAt(0, body.lighter(125));
  shade.setColorAt(1, body.darker(120));
  p.setPen(QPen(body.darker(170), 4));
  p.setBrush(shade);
  p.drawPath(path);
  // Bands between the platters.
  p.setBrush(Qt::NoBrush);
  for (qreal f : {0.42, 0.70}) {
    const qreal y = box.top() + box.height() * f;
    p.drawArc(QRectF(box.left(), y - rim, box.width(), 2 * rim), 180 * 16, 180 * 16);
  }
  p.setBrush(top);
  p.drawEllipse(QRectF(box.left(), box.top(), box.width(), 2 * rim));
}

}  // namespace

QImage DrawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 256.0, size / 256.0);

  QLinearGradient back(0, 0, 0, 256);
  back.setColorAt(0, QColor(0x3b, 0x6e, 0xa8));
  back.setColorAt(1, QColor(0x1f, 0x3f, 0x6b));
  p.setPen(Qt::NoPen);
  p.setBrush(back);
  p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

  DrawDrum(p, QRectF(28, 70, 78, 120), QColor(0x6f, 0xa8, 0xdc), QColor(0xb8, 0xd8, 0xf4));
  DrawDrum(p, QRectF(150, 70, 78, 120), QColor(0xb8, 0x3a, 0x3a), QColor(0xf0, 0xa8, 0xa0));

  // The arrow from source to target.
  QPainterPath arrow;
  arrow.moveTo(104, 118);
  arrow.lineTo(128, 118);
  arrow.lineTo(128, 100);
  arrow.lineTo(156, 130);
  arrow.lineTo(128, 160);
  arrow.lineTo(128, 142);
  arrow.lineTo(104, 142);
  arrow.closeSubpath();
  p.setPen(QPen(QColor(0x1a, 0x2a, 0x40), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(QColor(0xff, 0xd2, 0x4a));
  p.drawPath(arrow);
  p.end();
  return image;
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
  return icon;
}

QImage DrawHandPointer() {
  // X outline, o fill, . transparent.
  static constexpr std::array<std::string_view, 20> kRows = {
      ".......XX..........", "......XooX.........", "......XooX.........", "......XooX.........",
      "......XooX.........", "......XooXXX.......", "......XooXooXXX....", "......XooXooXooXX..",
      "..XX..XooXooXooXoX.", ".XooX.XooooooooXooX", ".XoooXXoooooooooooX", "..XooooooooooooooX.",
      "..XooooooooooooooX.", "...XoooooooooooooX.", "...XooooooooooooX..", "....XoooooooooooX..",
      "....XooooooooooX...", ".....XoooooooooX...", ".....XoooooooooX...", ".....XXXXXXXXXXX...",
  };
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  for (int y = 0; y < int(kRows.size()); ++y) {
    for (int x = 0; x < int(kRows[y].size()); ++x) {
      if (kRows[y][x] == 'X') image.setPixel(x, y, qRgba(0, 0, 0, 255));
      if (kRows[y][x] == 'o') image.setPixel(x, y, qRgba(255, 255, 255, 255));
    }
  }
  return image;
}

}  // namespace app

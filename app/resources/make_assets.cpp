// Writes the pictures the program ships: HAND-M.CUR (the hand pointer) and the
// application icon at the given sizes.
//   pelmora_make_assets CURSOR_FILE ICON_FOLDER SIZE...
#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstdlib>

#include "app/artwork.h"
#include "platform/ui/qt/cursor_file.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s CURSOR_FILE ICON_FOLDER SIZE...\n", argv[0]);
    return 2;
  }
  QFile cursor(QString::fromLocal8Bit(argv[1]));
  if (!cursor.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      cursor.write(ui::EncodeCursorFile(app::DrawHandPointer(), app::kHandPointerHotspot)) < 0) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  const QString folder = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(folder);
  for (int i = 3; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    const QString path = QStringLiteral("%1/pelmora-%2.png").arg(folder).arg(size);
    if (size <= 0 || !app::DrawAppIcon(size).save(path, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}

// Texts and files between the program and Qt: line breaks for display, the
// file dialog's filters, cursor files with their hotspot, settings values.
#include <gtest/gtest.h>

#include "app/artwork.h"
#include "app/setting_values.h"
#include "platform/ui/qt/cursor_file.h"
#include "platform/ui/qt/dialog_texts.h"
#include "tests/app/app_fixture.h"

namespace {

TEST(DisplayText, CarriageReturnsBecomeLineFeedsKeepingEmptyLines) {
  EXPECT_EQ(ui::DisplayText("a\r\nb"), "a\nb");
  EXPECT_EQ(ui::DisplayText("a\r\rb"), "a\n\nb");
  EXPECT_EQ(ui::DisplayText("a\r\n\r\nb\r"), "a\n\nb\n");
  EXPECT_EQ(ui::DisplayText("x\ny\r\n\rz"), "x\ny\n\nz");
  EXPECT_EQ(ui::DisplayText("ünï"), QString::fromUtf8("ünï"));
}

TEST(NameFilters, DescriptionsAndPatternsPairUp) {
  EXPECT_EQ(ui::NameFilters("All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database (*.mdb)|*.mdb|"
                            "Microsoft 2007 Database (*.accdb)|*.accdb|"),
            (QStringList{"All Microsoft Databases (*.mdb,*.accdb) (*.*db)", "Microsoft Database (*.mdb) (*.mdb)",
                         "Microsoft 2007 Database (*.accdb) (*.accdb)"}));
  EXPECT_EQ(ui::NameFilters("Texts|*.txt;*.csv"), QStringList{"Texts (*.txt *.csv)"});
  EXPECT_TRUE(ui::NameFilters("").isEmpty());
}

TEST(CursorFile, HotspotSurvivesTheRoundTrip) {
  app_testing::TestApplication();
  const QImage hand = app::DrawHandPointer();
  const QByteArray bytes = ui::EncodeCursorFile(hand, QPoint(7, 0));
  ui::CursorPicture picture = ui::ParseCursorFile(bytes);
  EXPECT_EQ(picture.hotspot, QPoint(7, 0));
  ASSERT_EQ(picture.image.size(), QSize(32, 32));
  const QImage decoded = picture.image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) ASSERT_EQ(decoded.pixel(x, y), hand.pixel(x, y)) << x << "," << y;
  }
  // Another hotspot, read from the directory entry, not guessed.
  EXPECT_EQ(ui::ParseCursorFile(ui::EncodeCursorFile(hand, QPoint(12, 20))).hotspot, QPoint(12, 20));
}

TEST(CursorFile, DamagedFilesAreInvalidPictures) {
  app_testing::TestApplication();
  QByteArray good = ui::EncodeCursorFile(app::DrawHandPointer(), QPoint(1, 1));
  QByteArray icon = good;
  icon[2] = 1;  // an icon, not a cursor
  QByteArray truncated = good.left(good.size() / 2);
  QByteArray far_offset = good;
  far_offset[18] = char(0xff);
  far_offset[19] = char(0xff);
  for (const QByteArray& bad : {QByteArray(), QByteArray("not a cursor at all, really"), icon, truncated, far_offset}) {
    try {
      ui::ParseCursorFile(bad);
      ADD_FAILURE() << "accepted " << bad.size() << " bytes";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "Invalid picture");
    }
  }
  EXPECT_THROW(ui::ReadCursorFile("/nonexistent/HAND-M.CUR"), std::runtime_error);
}

TEST(SettingValues, CheckStatesAndBooleansConvertAsTheyAlwaysHave) {
  EXPECT_EQ(app::CheckStateFromText("0"), 0);
  EXPECT_EQ(app::CheckStateFromText(" 2 "), 2);
  EXPECT_EQ(app::CheckStateFromText("1.5"), 2);  // halves go to even
  EXPECT_EQ(app::CheckStateFromText("0.5"), 0);
  EXPECT_EQ(app::CheckStateFromText("False"), 0);
  EXPECT_THROW(app::CheckStateFromText("True"), std::runtime_error);  // -1
  EXPECT_THROW(app::CheckStateFromText(""), std::runtime_error);
  EXPECT_THROW(app::CheckStateFromText("1x"), std::runtime_error);
  EXPECT_THROW(app::CheckStateFromText("99999"), std::runtime_error);

  EXPECT_TRUE(app::BooleanFromText("True"));
  EXPECT_TRUE(app::BooleanFromText("tRUE"));
  EXPECT_FALSE(app::BooleanFromText("false"));
  EXPECT_TRUE(app::BooleanFromText("1"));
  EXPECT_TRUE(app::BooleanFromText("-2.5"));
  EXPECT_FALSE(app::BooleanFromText("0"));
  EXPECT_FALSE(app::BooleanFromText(" 0.0 "));
  EXPECT_THROW(app::BooleanFromText("yes"), std::runtime_error);
  EXPECT_THROW(app::BooleanFromText(""), std::runtime_error);
  EXPECT_EQ(app::BooleanText(true), "True");
  EXPECT_EQ(app::BooleanText(false), "False");
}

}  // namespace

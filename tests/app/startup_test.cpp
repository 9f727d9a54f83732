// The loading sequence of the main window: its steps, their reports, the
// application title, the home-page draw and the data-access check.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "app/artwork.h"
#include "app/conversion_window.h"
#include "db/access.h"
#include "platform/ui/qt/cursor_file.h"
#include "report/addresses.h"
#include "tests/app/app_fixture.h"

namespace {

using app_testing::AppTest;

class Startup : public AppTest {
 protected:
  bool Load(bool components = true) {
    app::MainWindow& form = MakeForm();
    return app::LoadMainWindow(form, [&] {
      settings_at_check_ = Stored("PostgreSQLServer").value_or("");
      ++checks_;
      return components;
    });
  }
  void WriteFile(const std::string& name, const QByteArray& bytes) {
    QFile file(QString::fromStdString(folder_ + "/" + name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  void WriteHandPointer() {
    WriteFile("HAND-M.CUR", ui::EncodeCursorFile(app::DrawHandPointer(), app::kHandPointerHotspot));
  }
  std::vector<std::string> ReportLines() const {
    std::vector<std::string> lines;
    for (const auto& m : services_.messages) {
      auto start = m.text.find("\r\nin ");
      lines.push_back(start == std::string::npos ? m.text : m.text.substr(start + 2, m.text.find("\r\r") - start - 2));
    }
    return lines;
  }

  std::string settings_at_check_;
  int checks_ = 0;
};

TEST(ApplicationTitle, CutBeforeTheLastSpaceOnceThenWhileLongerThan40) {
  EXPECT_EQ(app::ApplicationTitleFor("Pelmora"), "Pelmora");  // nothing to cut at
  EXPECT_EQ(app::ApplicationTitleFor("Alpha Beta Gamma Converter Tool"), "Alpha Beta Gamma Converter");
  EXPECT_EQ(app::ApplicationTitleFor("Abc Defghijk"), "Abc");
  // 50 characters whose last word has 9: that word goes and 40 remain.
  const std::string forty = "Postgres Access Table Converter Professi";
  ASSERT_EQ(forty.size(), 40u);
  EXPECT_EQ(app::ApplicationTitleFor(forty + " Suite1234"), forty);
  // Three words in 30 characters lose the last.
  EXPECT_EQ(app::ApplicationTitleFor("Postgres Table Converter Tools"), "Postgres Table Converter");
  EXPECT_EQ(app::ApplicationTitleFor("A B C D E F G H I J K L M N O P Q R S T U V W X Y Z"),
            "A B C D E F G H I J K L M N O P Q R S T");  // 39: the cut before was 41
  EXPECT_EQ(app::ApplicationTitleFor(std::string(45, 'x')), std::string(40, 'x'));
}

// A missing data-access provider: the advisory asks, Yes opens both download pages in order.
TEST_F(Startup, AMissingProviderShowsTheAdvisoryAndYesOpensBothPagesInOrder) {
  services_.answers = {ui::Answer::Yes, ui::Answer::No};
  app::OfferEngineDownload();
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].text, db::EngineAdvisory());
  EXPECT_EQ(services_.messages[0].buttons, ui::Buttons::YesNo);
  EXPECT_EQ(services_.messages[0].icon, ui::Icon::None);
  EXPECT_EQ(services_.messages[0].title, ui::ApplicationTitle());
  EXPECT_EQ(services_.opened_urls, (std::vector<std::string>{
                                       "https://www.microsoft.com/en-us/download/details.aspx?id=13255",
                                       "https://www.microsoft.com/en-us/download/details.aspx?id=54920"}));
  app::OfferEngineDownload();  // No opens nothing
  EXPECT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.opened_urls.size(), 2u);
}

// What the conversion run tells its window, as the main window shows it.
TEST_F(Startup, TheRunsEventsBecomeTheMainWindowsPointerAndMessageBoxes) {
  services_.answers = {ui::Answer::Yes, ui::Answer::No};
  app::RunMessages::SetBusy(true);
  EXPECT_TRUE(app::RunMessages::AskToOverwrite("orders"));
  EXPECT_FALSE(app::RunMessages::AskToOverwrite("order lines"));
  app::RunMessages::TargetNotFound();
  app::RunMessages::SetBusy(false);
  app::RunMessages::RunDone();
  EXPECT_EQ(services_.pointer_changes, (std::vector<std::pair<std::string, int>>{{"Form1", ui::kPointerHourglass},
                                                                                {"Form1", ui::kPointerDefault}}));
  ASSERT_EQ(services_.messages.size(), 4u);
  EXPECT_EQ(services_.messages[0].text, "Would you like to overwrite orders?");
  EXPECT_EQ(services_.messages[0].title, "Overwrite?");
  EXPECT_EQ(services_.messages[0].buttons, ui::Buttons::YesNo);
  EXPECT_EQ(services_.messages[1].text, "Would you like to overwrite order lines?");
  EXPECT_EQ(services_.messages[2].text, "Unable to access the database");
  EXPECT_EQ(services_.messages[2].title, ui::ApplicationTitle());
  EXPECT_EQ(services_.messages[3].text, "Done.");
  EXPECT_EQ(services_.messages[3].buttons, ui::Buttons::Ok);
}

TEST_F(Startup, PlainFolderOpensWithStandardLookWithoutMessages) {
  ui::SetApplicationTitle("not yet");
  ASSERT_TRUE(Load());
  EXPECT_TRUE(services_.messages.empty());
  EXPECT_EQ(form_->windowTitle(), "Pelmora");
  EXPECT_FALSE(form_->windowIcon().isNull());
  EXPECT_EQ(ui::ApplicationTitle(), "Pelmora");
  EXPECT_FALSE(form_->autoFillBackground());
  EXPECT_FALSE(ui::WindowPointers::HasCustomImage("Form1"));
  EXPECT_TRUE(services_.opened_urls.empty());
  // The check comes last, after the settings were loaded and written.
  EXPECT_EQ(checks_, 1);
  EXPECT_EQ(settings_at_check_, "localhost");

  // A box of another procedure without a title of its own shows the application title.
  ui::Current().MessageBox("Done.");
  EXPECT_EQ(services_.messages.back().title, "Pelmora");
}

TEST_F(Startup, FailedDataAccessCheckEndsAfterTheSettingsWereWritten) {
  EXPECT_FALSE(Load(false));
  EXPECT_EQ(checks_, 1);
  EXPECT_EQ(Stored("Check1"), "1");
  EXPECT_FALSE(form_->isVisible());
}

TEST_F(Startup, HandPointerFileBecomesTheCustomImage) {
  WriteHandPointer();
  ASSERT_TRUE(Load());
  EXPECT_TRUE(services_.messages.empty());
  ASSERT_TRUE(ui::WindowPointers::HasCustomImage("Form1"));
  const QCursor hand = ui::WindowPointers::CursorFor("Form1", ui::kPointerCustom);
  EXPECT_EQ(hand.shape(), Qt::BitmapCursor);
  EXPECT_EQ(hand.hotSpot(), app::kHandPointerHotspot);
}

TEST_F(Startup, UnreadablePointerFileIsReportedAtStep106AndTheRestRuns) {
  WriteFile("HAND-M.CUR", "this is not a cursor");
  Store("Check1", "x");
  ASSERT_TRUE(Load());
  EXPECT_EQ(ReportLines(), (std::vector<std::string>{"in Tavrix2021/08/31.Form1.Form_Load at line 106",
                                                     "in Tavrix2021/08/31.Form1.Form_Load at line 130"}));
  EXPECT_TRUE(services_.messages[0].text.starts_with("Invalid picture\r\n"));
  EXPECT_EQ(services_.messages[0].title, "Application Error");
  EXPECT_EQ(services_.messages[0].icon, ui::Icon::Exclamation);
  EXPECT_FALSE(ui::WindowPointers::HasCustomImage("Form1"));
  EXPECT_EQ(form_->windowTitle(), "Pelmora");
  EXPECT_EQ(form_->Controls().server_edit->Text(), "localhost");
  EXPECT_EQ(checks_, 1);
}

TEST_F(Startup, PointerFileThatIsAFolderIsReportedAtStep106) {
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder_ + "/HAND-M.CUR")));
  ASSERT_TRUE(Load());
  EXPECT_EQ(ReportLines(), (std::vector<std::string>{"in Tavrix2021/08/31.Form1.Form_Load at line 106"}));
}

TEST_F(Startup, OneDrawInAHundredOpensTheHomePage) {
  WriteHandPointer();
  services_.random_value = 0.06;  // draws 7
  ASSERT_TRUE(Load());
  EXPECT_EQ(services_.opened_urls, (std::vector<std::string>{addresses::kHomePage}));

  services_.opened_urls.clear();
  services_.random_value = 0.07;  // draws 8
  ASSERT_TRUE(Load());
  services_.random_value = 0.0599;  // draws 6
  ASSERT_TRUE(Load());
  EXPECT_TRUE(services_.opened_urls.empty());
  // Without the pointer file the loading goes from step 104 to 128: no draw.
  QFile::remove(QString::fromStdString(folder_ + "/HAND-M.CUR"));
  services_.random_value = 0.06;
  ASSERT_TRUE(Load());
  EXPECT_TRUE(services_.opened_urls.empty());
}

TEST_F(Startup, SkinFileGivesTheButtonFaceColours) {
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder_ + "/x")));
  WriteFile("x/o.cjs", "skin");
  ASSERT_TRUE(Load());
  const QColor face = QApplication::palette().color(QPalette::Button);
  EXPECT_TRUE(form_->autoFillBackground());
  EXPECT_EQ(form_->palette().color(QPalette::Window), face);
  for (QWidget* w :
       std::initializer_list<QWidget*>{form_->Controls().source_frame, form_->Controls().server_label,
                                       form_->Controls().preview_check, form_->Controls().per_table_option}) {
    EXPECT_TRUE(w->autoFillBackground());
    EXPECT_EQ(w->palette().color(QPalette::Window), face);
  }
  // Text boxes and push buttons keep their own colours.
  EXPECT_FALSE(form_->Controls().server_edit->autoFillBackground());
  EXPECT_FALSE(form_->Controls().test_connection_button->autoFillBackground());
}

TEST_F(Startup, SkinFolderIsNoSkin) {
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder_ + "/x/o.cjs")));
  ASSERT_TRUE(Load());
  EXPECT_FALSE(form_->autoFillBackground());
  EXPECT_TRUE(services_.messages.empty());
}

}  // namespace

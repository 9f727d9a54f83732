// The connection panel's buttons: the file dialog, the sample database, the two
// help texts and "Test Connection".
#include "app/connection_panel.h"

#include <gtest/gtest.h>

#include "tests/app/app_fixture.h"

namespace {

using app_testing::AppTest;

class ConnectionPanel : public AppTest {};

TEST_F(ConnectionPanel, FileDialogAsksWithTitleFilterAndFlagsAndCancelKeepsTheField) {
  Store("AccessMDBFile", "/old/target.mdb");
  Store("AccessPassword", "pw");
  app::Form1& form = LoadedForm();
  services_.file_choices.push_back(std::nullopt);
  form.PushButton3->click();
  ASSERT_EQ(services_.file_requests.size(), 1u);
  EXPECT_EQ(services_.file_requests[0].title, "Select Access Database");
  EXPECT_EQ(services_.file_requests[0].filter,
            "All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database (*.mdb)|*.mdb|"
            "Microsoft 2007 Database (*.accdb)|*.accdb|");
  EXPECT_EQ(services_.file_requests[0].flags, 2621441ul);
  EXPECT_EQ(form.Text5->Text(), "/old/target.mdb");
  EXPECT_EQ(Stored("AccessMDBFile"), "/old/target.mdb");
  EXPECT_TRUE(services_.messages.empty());
}

TEST_F(ConnectionPanel, ChosenFileGoesIntoTheFieldUnchanged) {
  Store("AccessPassword", "pw");
  app::Form1& form = LoadedForm();
  services_.file_choices.push_back("/home/anna/My Data/Data.ACCDB");
  form.PushButton3->click();
  EXPECT_EQ(form.Text5->Text(), "/home/anna/My Data/Data.ACCDB");
  EXPECT_EQ(Stored("AccessMDBFile"), "/home/anna/My Data/Data.ACCDB");
  EXPECT_EQ(form.Text6->Text(), "pw");
  // An empty answer counts as Cancel.
  services_.file_choices.push_back(std::string());
  form.PushButton3->click();
  EXPECT_EQ(form.Text5->Text(), "/home/anna/My Data/Data.ACCDB");
}

TEST_F(ConnectionPanel, SampleDatabaseIsBelowTheProgramFolderEvenWithSpaces) {
  Store("AccessPassword", "pw");
  app::Form1& form = LoadedForm();
  services_.program_folder = "/opt/My Programs/pelmora";
  form.PushButton4->click();
  EXPECT_EQ(form.Text5->Text(), "/opt/My Programs/pelmora/Samples/sample.mdb");
  EXPECT_EQ(Stored("AccessMDBFile"), "/opt/My Programs/pelmora/Samples/sample.mdb");
  EXPECT_EQ(form.Text6->Text(), "pw");
  EXPECT_TRUE(services_.messages.empty());
}

TEST_F(ConnectionPanel, HelpTextsAreShownAndOpenNothing) {
  app::Form1& form = LoadedForm();
  ui::SetApplicationTitle("Pelmora");
  form.PushButton2->click();
  form.PushButton5->click();
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[0].text,
            "If you can not connect, please try downloading pgAdmin III. If you can not connect with that software, "
            "you know the login information you are providing here is incorrect.\r\n\r\n"
            "https://www.pgadmin.org/download/");
  EXPECT_EQ(services_.messages[1].text,
            "This software transfers text-based and numeric fields but does not handle binary / pictures fields."
            "\r\n\r\nUse SQL Preview if your tables contains less than 32767 rows.\r\n\r\n"
            "Questions? Please contact Team Halvex at https://www.halvex.example/contact");
  for (const auto& m : services_.messages) {
    EXPECT_EQ(m.title, "Pelmora");
    EXPECT_EQ(m.buttons, ui::Buttons::Ok);
    EXPECT_EQ(m.icon, ui::Icon::None);
  }
  EXPECT_TRUE(services_.opened_urls.empty());
}

TEST_F(ConnectionPanel, TestConnectionRefusedShowsItsMessageAndResetsThePointer) {
  Store("PostgreSQLServer", "127.0.0.1");
  Store("PostgreSQLPort", "1");  // nothing listens there
  Store("PostgreSQLUser", "nobody");
  app::Form1& form = LoadedForm();
  form.PushButton1->click();
  ASSERT_FALSE(services_.messages.empty());
  EXPECT_EQ(services_.messages.back().text, "Could not connect. Please check with your administrator.");
  ASSERT_GE(services_.pointer_changes.size(), 2u);
  EXPECT_EQ(services_.pointer_changes.front(), (std::pair<std::string, int>{"Form1", ui::kPointerHourglass}));
  EXPECT_EQ(services_.pointer_changes.back(), (std::pair<std::string, int>{"Form1", ui::kPointerDefault}));
}

TEST_F(ConnectionPanel, TestConnectionUsesTheFieldsAsTheyAreNow) {
  REQUIRE_PG(pg);
  app::Form1& form = LoadedForm();
  form.Text1->SetText(pg.host);
  form.Text9->SetText(pg.port);
  form.Text3->SetText(pg.user);
  form.Text7->SetText(pg.password);
  form.Text10->SetText(pg.database);
  form.PushButton1->click();
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].text, "Connection successful.");
  EXPECT_EQ(services_.messages[0].title, "Pelmora");
  form.Text7->SetText(pg.password + "-wrong");
  form.PushButton1->click();
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[1].text, "Could not connect. Please check with your administrator.");
}

TEST_F(ConnectionPanel, StartConvertingRunsTheInstalledAction) {
  app::Form1& form = LoadedForm();
  form.PushButton7->click();  // nothing installed: nothing happens
  int runs = 0;
  form.start_converting = [&](app::Form1& window) {
    EXPECT_EQ(&window, &form);
    ++runs;
  };
  form.PushButton7->click();
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(services_.messages.empty());
}

}  // namespace

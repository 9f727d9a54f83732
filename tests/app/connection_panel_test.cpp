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
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  services_.file_choices.push_back(std::nullopt);
  ui.browse_button->click();
  ASSERT_EQ(services_.file_requests.size(), 1u);
  EXPECT_EQ(services_.file_requests[0].title, "Select Access Database");
  EXPECT_EQ(services_.file_requests[0].filter,
            "All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database (*.mdb)|*.mdb|"
            "Microsoft 2007 Database (*.accdb)|*.accdb|");
  EXPECT_EQ(services_.file_requests[0].flags, 2621441ul);
  EXPECT_EQ(ui.target_file_edit->Text(), "/old/target.mdb");
  EXPECT_EQ(Stored("AccessMDBFile"), "/old/target.mdb");
  EXPECT_TRUE(services_.messages.empty());
}

TEST_F(ConnectionPanel, ChosenFileGoesIntoTheFieldUnchanged) {
  Store("AccessPassword", "pw");
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  services_.file_choices.push_back("/home/anna/My Data/Data.ACCDB");
  ui.browse_button->click();
  EXPECT_EQ(ui.target_file_edit->Text(), "/home/anna/My Data/Data.ACCDB");
  EXPECT_EQ(Stored("AccessMDBFile"), "/home/anna/My Data/Data.ACCDB");
  EXPECT_EQ(ui.target_password_edit->Text(), "pw");
  // An empty answer counts as Cancel.
  services_.file_choices.push_back(std::string());
  ui.browse_button->click();
  EXPECT_EQ(ui.target_file_edit->Text(), "/home/anna/My Data/Data.ACCDB");
}

TEST_F(ConnectionPanel, SampleDatabaseIsBelowTheProgramFolderEvenWithSpaces) {
  Store("AccessPassword", "pw");
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  services_.program_folder = "/opt/My Programs/pelmora";
  ui.sample_button->click();
  EXPECT_EQ(ui.target_file_edit->Text(), "/opt/My Programs/pelmora/Samples/sample.mdb");
  EXPECT_EQ(Stored("AccessMDBFile"), "/opt/My Programs/pelmora/Samples/sample.mdb");
  EXPECT_EQ(ui.target_password_edit->Text(), "pw");
  EXPECT_TRUE(services_.messages.empty());
}

TEST_F(ConnectionPanel, HelpTextsAreShownAndOpenNothing) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ui::SetApplicationTitle("Pelmora");
  ui.login_help_button->click();
  ui.transfer_help_button->click();
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
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ui.test_connection_button->click();
  ASSERT_FALSE(services_.messages.empty());
  EXPECT_EQ(services_.messages.back().text, "Could not connect. Please check with your administrator.");
  ASSERT_GE(services_.pointer_changes.size(), 2u);
  EXPECT_EQ(services_.pointer_changes.front(), (std::pair<std::string, int>{"Form1", ui::kPointerHourglass}));
  EXPECT_EQ(services_.pointer_changes.back(), (std::pair<std::string, int>{"Form1", ui::kPointerDefault}));
}

TEST_F(ConnectionPanel, TestConnectionUsesTheFieldsAsTheyAreNow) {
  REQUIRE_PG(pg);
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ui.server_edit->SetText(pg.host);
  ui.port_edit->SetText(pg.port);
  ui.user_edit->SetText(pg.user);
  ui.password_edit->SetText(pg.password);
  ui.database_edit->SetText(pg.database);
  ui.test_connection_button->click();
  ASSERT_EQ(services_.messages.size(), 1u);
  EXPECT_EQ(services_.messages[0].text, "Connection successful.");
  EXPECT_EQ(services_.messages[0].title, "Pelmora");
  ui.password_edit->SetText(pg.password + "-wrong");
  ui.test_connection_button->click();
  ASSERT_EQ(services_.messages.size(), 2u);
  EXPECT_EQ(services_.messages[1].text, "Could not connect. Please check with your administrator.");
}

TEST_F(ConnectionPanel, StartConvertingRunsTheInstalledAction) {
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ui.start_button->click();  // nothing installed: nothing happens
  int runs = 0;
  form.start_converting = [&](app::MainWindow& window) {
    EXPECT_EQ(&window, &form);
    ++runs;
  };
  ui.start_button->click();
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(services_.messages.empty());
}

}  // namespace

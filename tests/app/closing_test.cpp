// Closing the main window ends the program: traps stop, the target connection
// is closed (the engine commits), the end hook runs.
#include <gtest/gtest.h>

#include <QCloseEvent>

#include "db/access.h"
#include "platform/ado/error.h"
#include "platform/ado/recordset.h"
#include "tests/app/app_fixture.h"

namespace {

using app_testing::AppTest;

class Closing : public AppTest {};

TEST_F(Closing, EndsTheProgramAndStopsARunningTrap) {
  app::Form1& form = LoadedForm();
  ShowActive(form);
  std::vector<int> ran;
  report::Trap run("Form1.PushButton7_Click");
  run(150, [&] {
    ran.push_back(150);
    form.close();  // the user closes the window while the run yields
  });
  run(152, [&] { ran.push_back(152); });
  EXPECT_EQ(ran, std::vector<int>{150});
  EXPECT_TRUE(report::EndRequested());
  EXPECT_EQ(ends_, 1);
  EXPECT_FALSE(form.isVisible());
}

TEST_F(Closing, ClosesTheOpenTargetFile) {
  REQUIRE_FIXTURE(fixture, "empty-2000.mdb");
  const std::string target = testing_support::CopyFile(fixture, folder_);
  app::Form1& form = LoadedForm();
  form.Text5->SetText(target);
  form.access_conn = ado::CreateConnection();
  form.access_conn->Mode = 3;  // read and write, as the run opens it
  form.access_conn->Open(Access::AccessConnectionString(form.TargetFields()));
  form.access_conn->Execute("CREATE TABLE closing (id INTEGER)");
  form.access_conn->Execute("INSERT INTO closing VALUES (7)");
  ASSERT_TRUE(form.access_conn->IsOpen());
  form.close();
  EXPECT_FALSE(form.access_conn->IsOpen());
  EXPECT_EQ(ends_, 1);
  // The table is in the file for an independent reader.
  std::string tables;
  ASSERT_EQ(testing_support::RunCommand("mdb-tables -1 '" + target + "' 2>&1", &tables), 0) << tables;
  EXPECT_NE(tables.find("closing"), std::string::npos) << tables;
  std::string rows;
  testing_support::RunCommand("mdb-export '" + target + "' closing 2>&1", &rows);
  EXPECT_EQ(rows, "id\n7\n");
}

}  // namespace

// Closing the main window ends the program: traps stop, the target connection
// is closed (the engine commits), the end hook runs; a commit that fails there
// is reported before the program ends.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <chrono>
#include <fstream>
#include <iterator>

#include "db/access.h"
#include "platform/ado/error.h"
#include "platform/ado/recordset.h"
#include "platform/jet/public/database.h"
#include "tests/app/app_fixture.h"
#include "tests/jet/file/fault_env.h"

namespace {

using app_testing::AppTest;

class Closing : public AppTest {};

TEST_F(Closing, EndsTheProgramAndStopsARunningTrap) {
  app::MainWindow& form = LoadedForm();
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
  app::MainWindow& form = LoadedForm();
  const auto& ui = form.Controls();
  ui.target_file_edit->SetText(target);
  form.AccessConn() = ado::CreateConnection();
  form.AccessConn()->Mode = 3;  // read and write, as the run opens it
  form.AccessConn()->Open(db::AccessConnectionString(form.TargetFields()));
  form.AccessConn()->Execute("CREATE TABLE closing (id INTEGER)");
  form.AccessConn()->Execute("INSERT INTO closing VALUES (7)");
  ASSERT_TRUE(form.AccessConn()->IsOpen());
  form.close();
  EXPECT_FALSE(form.AccessConn()->IsOpen());
  EXPECT_EQ(ends_, 1);
  // The table is in the file for an independent reader.
  std::string tables;
  ASSERT_EQ(testing_support::RunCommand("mdb-tables -1 '" + target + "' 2>&1", &tables), 0) << tables;
  EXPECT_NE(tables.find("closing"), std::string::npos) << tables;
  std::string rows;
  testing_support::RunCommand("mdb-export '" + target + "' closing 2>&1", &rows);
  EXPECT_EQ(rows, "id\n7\n");
}

// The Access engine as the target connection's provider, on files kept by the
// fault-injecting environment.
class EngineTarget : public ado::ProviderConnection {
 public:
  explicit EngineTarget(std::unique_ptr<jet::Database> db) : db_(std::move(db)) {}
  std::unique_ptr<ado::Cursor> Execute(std::string_view text) override {
    if (auto done = db_->Execute(text); !done) throw ado::Error(ado::kErrorProvider, done.error().message);
    return nullptr;
  }
  std::unique_ptr<ado::Cursor> OpenSchema(int) override { return nullptr; }
  void Close() override {
    if (auto closed = db_->Close(); !closed) throw ado::Error(ado::kErrorProvider, closed.error().message);
  }

 private:
  std::unique_ptr<jet::Database> db_;
};

TEST_F(Closing, AFailedLastCommitIsReportedBeforeTheProgramEnds) {
  REQUIRE_FIXTURE(fixture, "empty-2000.mdb");
  testing_support::FaultEnv disk;
  disk.Put("f/target.mdb", testing_support::ReadBytes(fixture));
  // Commits only when the window closes, however slowly the statements run.
  jet::OpenOptions options{.writable = true,
                           .env = &disk,
                           .commit_limits = {.statements = 1000000, .delay = std::chrono::hours(1)}};
  auto db = jet::Database::Open("f/target.mdb", options);
  ASSERT_TRUE(db) << db.error().message;

  app::MainWindow& form = LoadedForm();
  form.AccessConn() = std::make_unique<ado::Connection>();
  form.AccessConn()->AttachProvider(std::make_unique<EngineTarget>(std::move(*db)));
  form.AccessConn()->Execute("CREATE TABLE closing (id INTEGER)");
  form.AccessConn()->Execute("INSERT INTO closing VALUES (7)");
  // The statements wait for their commit; from now on the disk is full.
  disk.faults.push_back({.op = testing_support::FaultEnv::Op::kWrite, .sticky = true});
  size_t reports_at_end = 0;
  form.end_program = [&] {
    ++ends_;
    reports_at_end = services_.messages.size();
  };
  form.close();

  EXPECT_EQ(ends_, 1);
  EXPECT_FALSE(form.AccessConn()->IsOpen());
  ASSERT_EQ(services_.messages.size(), 1u);
  ASSERT_EQ(reports_at_end, 1u);
  const auto& report = services_.messages[0];
  EXPECT_EQ(report.title, "Application Error");
  EXPECT_EQ(report.icon, ui::Icon::Exclamation);
  EXPECT_NE(report.text.find("the disk is full"), std::string::npos) << report.text;
  EXPECT_NE(report.text.find("\r\nin Tavrix2021/08/31.Form1.Form_Unload at line 100\r\r"), std::string::npos)
      << report.text;
}

}  // namespace

#include "db/access.h"

#include <gtest/gtest.h>

#include <functional>

#include <filesystem>
#include <fstream>

#include "db/file_exists.h"
#include "platform/ado/error.h"
#include "tests/support/environment.h"
#include "tests/support/scripted_services.h"

namespace {

using testing_support::ScriptedServices;

const db::TargetFields kNoWindow{};

std::string ConnectionString(const std::string& path, const std::string& password = "") {
  return db::AccessConnectionString(db::TargetFields{path, password});
}

TEST(AccessConnectionString, ProviderFollowsTheLastFiveCharactersInAnyCase) {
  EXPECT_EQ(ConnectionString("C:\\data\\shop.accdb", "pw"),
            "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=C:\\data\\shop.accdb;JET OLEDB:Database Password=pw");
  EXPECT_EQ(ConnectionString("/home/a/Shop.mdb", "pw"),
            "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/home/a/Shop.mdb;JET OLEDB:Database Password=pw");
  EXPECT_TRUE(ConnectionString("DATA.ACCDB").starts_with("Provider=Microsoft.ACE.OLEDB.12.0;"));
  EXPECT_TRUE(ConnectionString("fileaccdb").starts_with("Provider=Microsoft.ACE.OLEDB.12.0;"));  // no dot needed
  EXPECT_TRUE(ConnectionString("accdb").starts_with("Provider=Microsoft.ACE.OLEDB.12.0;"));
  EXPECT_TRUE(ConnectionString("a.accdb ").starts_with("PROVIDER=Microsoft.Jet.OLEDB.4.0;"));  // trailing blank
  EXPECT_TRUE(ConnectionString("ccdb").starts_with("PROVIDER=Microsoft.Jet.OLEDB.4.0;"));
  EXPECT_EQ(ConnectionString(""), "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=;JET OLEDB:Database Password=");
}

TEST(AccessConnectionString, PathAndPasswordAreVerbatimAndComeFromOneSource) {
  // An empty password still gives the key.
  EXPECT_TRUE(ConnectionString("x.mdb").ends_with(";JET OLEDB:Database Password="));
  EXPECT_EQ(ConnectionString("/a b/c;d.mdb", "p;w'\""),
            "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/a b/c;d.mdb;JET OLEDB:Database Password=p;w'\"");
  // With a path argument both path and password are the arguments' (no
  // password argument: an empty one); without, both are the window's.
  const db::TargetFields window{"/w/win.accdb", "winpw"};
  EXPECT_EQ(db::AccessConnectionString(window, "/other.mdb"),
            "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/other.mdb;JET OLEDB:Database Password=");
  EXPECT_EQ(db::AccessConnectionString(window, "/other.mdb", "argpw"),
            "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/other.mdb;JET OLEDB:Database Password=argpw");
  EXPECT_EQ(db::AccessConnectionString(window, "", "ignored"),
            "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/w/win.accdb;JET OLEDB:Database Password=winpw");
}

TEST(FileExists, TrueForFilesAndFoldersFalseOtherwise) {
  std::string folder = testing_support::ScratchFolder("FileExists");
  std::string file = folder + "/x.mdb";
  std::ofstream(file) << "x";
  EXPECT_TRUE(db::FileExists(file));
  EXPECT_TRUE(db::FileExists(folder));
  EXPECT_FALSE(db::FileExists(""));
  EXPECT_FALSE(db::FileExists(folder + "/missing.mdb"));
  EXPECT_FALSE(db::FileExists(file + "/below-a-file"));
  EXPECT_FALSE(db::FileExists(std::string("a\0b", 3)));
}

TEST(AccessCatalogue, MissingFileIsAbsentAndTheListStaysEmpty) {
  ScriptedServices services;
  std::string missing = testing_support::ScratchFolder("AccessMissing") + "/nothing.mdb";
  EXPECT_FALSE(db::GetAccessTables(missing, {missing, ""}).has_value());

  db::MemoryListBox list;
  list.AddItem("old");
  EXPECT_FALSE(db::AddTablesToAccessListbox(list, missing, {missing, ""}));
  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_TRUE(services.messages.empty());  // the window says it (kUnableToAccess)
}

// A folder passes the existence test; opening it fails, and the failure goes
// to the caller (whose trap reports it), leaving the list cleared.
TEST(AccessCatalogue, AFolderPassesTheTestAndTheOpenFailureGoesToTheCaller) {
  ScriptedServices services;
  std::string folder = testing_support::ScratchFolder("AccessFolder");
  db::MemoryListBox list;
  list.AddItem("old");
  EXPECT_THROW(db::AddTablesToAccessListbox(list, folder, {folder, ""}), ado::Error);
  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_TRUE(services.messages.empty());
}

// The user tables of a copy of a real Access file.
std::optional<std::vector<std::string>> TablesOfFixture(const std::string& name, const std::string& test) {
  std::string copy =
      testing_support::CopyFile(*testing_support::AccessFixture(name), testing_support::ScratchFolder(test));
  return db::GetAccessTables(copy, {copy, ""});
}

TEST(AccessCatalogue, ListsTheUserTablesOfARealFile) {
  REQUIRE_FIXTURES("content-2000.mdb", "content-2003.mdb", "content-2007.accdb");
  ScriptedServices services;
  // System and Access tables (MSys*) are left out.
  const std::vector<std::string> user_tables{"Table1", "Table2", "Table3", "Table4"};
  EXPECT_EQ(TablesOfFixture("content-2000.mdb", "AccessContent2000"), user_tables);
  EXPECT_EQ(TablesOfFixture("content-2007.accdb", "AccessContent2007"), user_tables);

  // Into a list box, with events processed once per name.
  std::string copy = testing_support::CopyFile(*testing_support::AccessFixture("content-2003.mdb"),
                                               testing_support::ScratchFolder("AccessListbox"));
  db::MemoryListBox list;
  EXPECT_TRUE(db::AddTablesToAccessListbox(list, copy, {copy, ""}));
  EXPECT_EQ(list.Items(), user_tables);
  EXPECT_EQ(services.events_processed, 4);
  EXPECT_TRUE(services.messages.empty());
}

TEST(AccessCatalogue, AFileWithoutUserTablesGivesAnEmptyCatalogue) {
  REQUIRE_FIXTURES("empty-2000.mdb");
  ScriptedServices services;
  EXPECT_EQ(TablesOfFixture("empty-2000.mdb", "AccessEmpty2000"), std::vector<std::string>{});
  EXPECT_TRUE(services.messages.empty());
}

TEST(EngineAdvisory, TextIsSevenParagraphsJoinedByTwoLineBreaks) {
  EXPECT_EQ(db::EngineAdvisory(),
            "Error #3706: Provider cannot be found. It may not be properly installed.\r\n\r\n"
            "You are getting this error because:\r\n\r\n"
            "1. Microsoft Access is not installed on your computer.\r\n\r\n"
            "2. A set of Microsoft components to transfer data is not installed on your computer.\r\n\r\n"
            "You need to download and install Microsoft Access Database Engine 2010 or 2016 to solve this "
            "problem.\r\n\r\n"
            "Would you like me to open the Microsoft site now so you can do this?\r\n\r\n"
            "(If you have any further questions please email a screenshot of this error message to "
            "support@halvex.example)");
}

db::ConnectionFactory Failing(long number, std::string description) {
  return [=]() -> std::unique_ptr<ado::Connection> { throw ado::Error(number, description); };
}

// How often the window was told that the provider is missing.
struct MissingProvider {
  std::function<void()> Told() {
    return [this] {
      ++told;
      if (fails) throw std::runtime_error("the advisory could not be shown");
    };
  }
  int told = 0;
  bool fails = false;
};

TEST(CheckDatabaseComponents, TrueWhenAConnectionObjectCanBeMade) {
  ScriptedServices services;
  MissingProvider missing;
  EXPECT_TRUE(db::CheckDatabaseComponents(missing.Told()));
  EXPECT_TRUE(db::CheckDatabaseComponents(missing.Told(), [] { return std::make_unique<ado::Connection>(); }));
  EXPECT_EQ(missing.told, 0);
  EXPECT_TRUE(services.messages.empty());
}

TEST(CheckDatabaseComponents, AMissingProviderIsToldToTheWindowOnceAndEndsTheProgram) {
  MissingProvider missing;
  EXPECT_FALSE(db::CheckDatabaseComponents(missing.Told(), Failing(3706, "whatever")));
  EXPECT_EQ(missing.told, 1);
  // A window that fails to tell it changes nothing: no failure escapes.
  missing.fails = true;
  EXPECT_FALSE(db::CheckDatabaseComponents(missing.Told(), Failing(3706, "whatever")));
  EXPECT_EQ(missing.told, 2);
}

TEST(CheckDatabaseComponents, AMissingProviderOfAnyNumberIsTold) {
  MissingProvider missing;
  EXPECT_FALSE(db::CheckDatabaseComponents(missing.Told(), []() -> std::unique_ptr<ado::Connection> {
    throw ado::Error(-1, "no driver manager", ado::ErrorKind::kProviderMissing);
  }));
  EXPECT_EQ(missing.told, 1);
}

TEST(CheckDatabaseComponents, OtherFailuresEndSilently) {
  ScriptedServices services;
  MissingProvider missing;
  EXPECT_FALSE(db::CheckDatabaseComponents(missing.Told(), Failing(429, "ActiveX component can't create object")));
  EXPECT_FALSE(db::CheckDatabaseComponents(
      missing.Told(), []() -> std::unique_ptr<ado::Connection> { throw std::runtime_error("out of memory"); }));
  EXPECT_EQ(missing.told, 0);
  EXPECT_TRUE(services.messages.empty());
}

}  // namespace

// The lock on the database and the Access lock file, on real files: created
// and removed, a second open refused and told who holds the file, a lock left
// by a killed process, read-only files and folders.

#include "platform/jet/file/lock_file.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "platform/jet/file/pager.h"
#include "tests/jet/file/page_stream.h"
#include "tests/support/environment.h"

namespace {

using namespace jet;
namespace fs = std::filesystem;

std::optional<std::string> Copy(const std::string& test, const std::string& name = "engine-empty-jet4.mdb") {
  auto fixture = testing_support::AccessFixture(name);
  if (!fixture) return std::nullopt;
  return testing_support::CopyFile(*fixture, testing_support::ScratchFolder(test));
}

std::string Field(const std::string& record, size_t at) { return std::string(record.c_str() + at); }

TEST(LockFileTest, SitsBesideTheDatabaseWithAccessNames) {
  EXPECT_EQ(LockFile::PathFor("/d/orders.mdb"), "/d/orders.ldb");
  EXPECT_EQ(LockFile::PathFor("/d/Orders.MDB"), "/d/Orders.ldb");
  EXPECT_EQ(LockFile::PathFor("/d/orders.accdb"), "/d/orders.laccdb");
  EXPECT_EQ(LockFile::PathFor("/d.x/orders"), "/d.x/orders.ldb");
  std::string record = LockFile::OwnRecord();
  ASSERT_EQ(record.size(), 64u);
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  EXPECT_EQ(Field(record, 0), std::string(host).substr(0, 31));
  EXPECT_FALSE(Field(record, 32).empty());
}

TEST(LockFileTest, HeldWhileOpenRefusesOthersAndGoesAtClose) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  auto path = Copy("lock_held");
  std::string ldb = LockFile::PathFor(*path);
  {
    auto writer = Pager::Open(*path, {.writable = true});
    ASSERT_TRUE(writer) << writer.error().message;
    EXPECT_EQ((*writer)->lock_path(), ldb);
    auto bytes = testing_support::ReadBytes(ldb);
    ASSERT_GE(bytes.size(), 64u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 64), LockFile::OwnRecord());

    for (bool writable : {true, false}) {
      auto second = Pager::Open(*path, {.writable = writable});
      ASSERT_FALSE(second) << "writable " << writable;
      EXPECT_EQ(second.error().code, ErrorCode::kLocked);
      const std::string& m = second.error().message;
      EXPECT_NE(m.find(*path), std::string::npos) << m;
      std::string record = LockFile::OwnRecord();
      EXPECT_NE(m.find(fmt::format("user '{}' on machine '{}'", Field(record, 32), Field(record, 0))),
                std::string::npos)
          << m;
    }
  }
  EXPECT_FALSE(fs::exists(ldb));

  {
    auto reader1 = Pager::Open(*path, {});
    auto reader2 = Pager::Open(*path, {});
    ASSERT_TRUE(reader1 && reader2) << "readers share the file";
    EXPECT_TRUE(fs::exists(ldb));
    auto writer = Pager::Open(*path, {.writable = true});
    ASSERT_FALSE(writer);
    EXPECT_EQ(writer.error().code, ErrorCode::kLocked);
    reader1->reset();
    EXPECT_TRUE(fs::exists(ldb)) << "the lock file stays while a reader remains";
  }
  EXPECT_FALSE(fs::exists(ldb));
  auto writer = Pager::Open(*path, {.writable = true});
  EXPECT_TRUE(writer);
}

TEST(LockFileTest, ALockLeftByAKilledProcessDoesNotBlock) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  auto path = Copy("lock_killed");
  std::string ldb = LockFile::PathFor(*path);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto pager = Pager::Open(*path, {.writable = true});
    char c = pager ? '1' : '0';
    (void)::write(ready[1], &c, 1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(c, '1');
  auto refused = Pager::Open(*path, {.writable = true});
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().code, ErrorCode::kLocked);

  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(fs::exists(ldb)) << "a killed process leaves its lock file behind";
  {
    auto pager = Pager::Open(*path, {.writable = true});
    ASSERT_TRUE(pager) << pager.error().message;
  }
  EXPECT_FALSE(fs::exists(ldb)) << "and the next holder removes it at close";
}

// Runs `probe` as a user who may not write what root made read-only (root
// itself may write everything), and returns its lines.
std::vector<std::string> AsUnprivileged(const std::function<std::string()>& probe) {
  int out[2];
  if (::pipe(out) != 0) return {};
  pid_t child = ::fork();
  if (child == 0) {
    ::close(out[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    std::string text = probe();
    (void)::write(out[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(out[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  ::close(out[0]);
  ::waitpid(child, nullptr, 0);
  std::vector<std::string> lines;
  for (size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
    lines.push_back(text.substr(at, nl - at));
  return lines;
}

std::string Outcome(const std::string& path, bool writable) {
  auto pager = Pager::Open(path, {.writable = writable});
  if (pager) return "open " + (*pager)->lock_path() + "\n";
  return fmt::format("{} {}\n", static_cast<int>(pager.error().code), pager.error().message);
}

TEST(LockFileTest, ReadOnlyFilesAndFoldersOpenForReadingOnly) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  auto file = Copy("lock_read_only_file");
  auto folder_file = Copy("lock_read_only_folder");
  std::string folder = fs::path(*folder_file).parent_path();
  bool root = ::geteuid() == 0;
  // The file: nobody may write it. The folder: the file may be written, the
  // folder not.
  fs::permissions(*file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(*folder_file, fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec &
                                    ~fs::perms::others_exec);
  if (root) fs::permissions(fs::path(*file).parent_path(), fs::perms::all);
  if (!root) fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);

  auto lines = AsUnprivileged([&] {
    return Outcome(*file, true) + Outcome(*file, false) + Outcome(*folder_file, true) + Outcome(*folder_file, false);
  });
  if (!root) fs::permissions(folder, fs::perms::owner_all);
  ASSERT_EQ(lines.size(), 4u);
  const std::string read_only = std::to_string(static_cast<int>(ErrorCode::kReadOnly));
  EXPECT_EQ(lines[0], read_only + " Cannot open '" + *file + "' for writing: the file is read-only.");
  EXPECT_EQ(lines[1], "open " + LockFile::PathFor(*file)) << "the folder can take the lock file";
  EXPECT_EQ(lines[2].rfind(read_only + " Cannot open '" + *folder_file + "' for writing", 0), 0u) << lines[2];
  EXPECT_NE(lines[2].find("the folder '" + folder + "' is read-only"), std::string::npos) << lines[2];
  EXPECT_NE(lines[2].find(LockFile::PathFor(*folder_file)), std::string::npos) << lines[2];
  EXPECT_EQ(lines[3], "open ") << "a reader goes without a lock file in a read-only folder";
  EXPECT_FALSE(fs::exists(LockFile::PathFor(*file)));
}

}  // namespace

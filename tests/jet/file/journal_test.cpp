// The rollback journal: round trip, journals that never reached the disk
// whole, and the hot journal a killed writer leaves for the next open.

#include "platform/jet/file/journal.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/jet/file/pager.h"
#include "tests/jet/file/fault_env.h"
#include "tests/jet/file/page_stream.h"
#include "tests/support/environment.h"

namespace {

using namespace jet;
using testing_support::FaultEnv;

constexpr size_t kPage = 4096;

std::vector<std::byte> Pages(int count, int seed) {
  std::vector<std::byte> bytes(count * kPage);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::byte>((i * 7 + seed) & 0xFF);
  return bytes;
}

TEST(JournalTest, PlaysBackOriginalsAndCutsAppendedPages) {
  FaultEnv env;
  auto original = Pages(6, 1);
  env.Put("db", original);
  auto db = env.Open("db", true).value();
  auto jf = env.OpenOrCreate("db-journal").value();
  std::vector<journal::Record> records = {{2, std::span(original).subspan(2 * kPage, kPage)},
                                          {5, std::span(original).subspan(5 * kPage, kPage)}};
  ASSERT_TRUE(journal::Write(*jf, kPage, 6, 77, records));

  auto changed = Pages(9, 2);  // pages 2 and 5 rewritten, three appended
  std::memcpy(changed.data(), original.data(), 2 * kPage);
  ASSERT_TRUE(db->WriteAt(0, changed));
  auto played = journal::PlayBack(*jf, *db, kPage);
  ASSERT_TRUE(played) << played.error().message;
  EXPECT_TRUE(played->valid);
  EXPECT_EQ(played->restored, 2u);
  EXPECT_EQ(played->page_count, 6u);
  auto after = env.Contents("db");
  ASSERT_EQ(after.size(), 6 * kPage);
  EXPECT_TRUE(std::equal(after.begin(), after.begin() + 2 * kPage, original.begin()));
  EXPECT_TRUE(std::equal(after.begin() + 2 * kPage, after.begin() + 3 * kPage, original.begin() + 2 * kPage));
  EXPECT_TRUE(std::equal(after.begin() + 5 * kPage, after.end(), original.begin() + 5 * kPage));
}

TEST(JournalTest, UnsyncedHeaderOrRecordsRestoreNothingWrong) {
  FaultEnv env;
  auto original = Pages(4, 3);
  env.Put("db", original);
  auto db = env.Open("db", true).value();
  auto jf = env.OpenOrCreate("j").value();
  std::vector<journal::Record> records = {{1, std::span(original).subspan(kPage, kPage)},
                                          {3, std::span(original).subspan(3 * kPage, kPage)}};
  ASSERT_TRUE(journal::Write(*jf, kPage, 4, 5, records));
  auto journal_bytes = env.Contents("j");

  // A torn second record: the first is played back, the second is not.
  auto changed = Pages(4, 9);
  ASSERT_TRUE(db->WriteAt(0, changed));
  auto torn = journal_bytes;
  torn[journal::kHeaderSize + (8 + kPage) + 100] ^= std::byte{1};
  ASSERT_TRUE(jf->WriteAt(0, torn));
  auto played = journal::PlayBack(*jf, *db, kPage);
  ASSERT_TRUE(played);
  EXPECT_EQ(played->restored, 1u);
  auto after = env.Contents("db");
  EXPECT_TRUE(std::equal(after.begin() + kPage, after.begin() + 2 * kPage, original.begin() + kPage));
  EXPECT_TRUE(std::equal(after.begin() + 3 * kPage, after.end(), changed.begin() + 3 * kPage));

  // A header that never reached the disk whole: nothing is touched, not even the size.
  for (size_t at : {0ul, 0x0Cul, 0x14ul}) {
    auto bad = journal_bytes;
    bad[at] ^= std::byte{0x40};
    ASSERT_TRUE(jf->WriteAt(0, bad));
    ASSERT_TRUE(db->WriteAt(0, Pages(6, 4)));
    auto p = journal::PlayBack(*jf, *db, kPage);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->valid) << at;
    EXPECT_EQ(env.Contents("db"), Pages(6, 4)) << at;
  }
  ASSERT_TRUE(jf->Truncate(100));
  EXPECT_FALSE(journal::PlayBack(*jf, *db, kPage)->valid);
}

struct Killed {
  FaultEnv env;
  std::vector<std::byte> committed;  // the file after the first commit
  bool ok = false;

  // Commits statement 0, then dies after writing the database pages of the
  // next commit and before removing its journal.
  Killed() {
    auto fixture = testing_support::AccessFixture("engine-empty-jet4.mdb");
    if (!fixture) return;
    env.Put("d/db.mdb", testing_support::ReadBytes(*fixture));
    // The second commit is the test's own, however slowly the statements run.
    PagerOptions o{.writable = true, .env = &env, .commit_limits = {.statements = 1000, .delay = std::chrono::hours(1)}};
    auto pager = Pager::Open("d/db.mdb", o);
    if (!pager || !testing_support::ApplyStatement(**pager, 0) || !(*pager)->Commit()) return;
    committed = env.Contents("d/db.mdb");
    for (int k = 1; k < 6; ++k)
      if (!testing_support::ApplyStatement(**pager, k) || !(*pager)->StatementDone()) return;
    env.faults.push_back({FaultEnv::Op::kRemove, "-journal", 0, true, "the process died"});
    env.faults.push_back({FaultEnv::Op::kWrite, "db.mdb", 3, true, "the process died"});
    if ((*pager)->Commit()) return;
    pager->reset();
    env.Crash(FaultEnv::Loss::kProcess);
    ok = env.Has("d/db.mdb-journal") && env.Contents("d/db.mdb") != committed;
  }
};

TEST(JournalTest, OpenRestoresFromAHotJournalOrRefusesClearly) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  {
    Killed k;
    ASSERT_TRUE(k.ok);
    // A reader restores it when the file can be written.
    auto reader = Pager::Open("d/db.mdb", {.env = &k.env});
    ASSERT_TRUE(reader) << reader.error().message;
    EXPECT_FALSE(k.env.Has("d/db.mdb-journal"));
    EXPECT_EQ(k.env.Contents("d/db.mdb"), k.committed);
  }
  {
    Killed k;
    ASSERT_TRUE(k.ok);
    k.env.read_only_files.insert("d/db.mdb");
    auto reader = Pager::Open("d/db.mdb", {.env = &k.env});
    ASSERT_FALSE(reader);
    EXPECT_EQ(reader.error().code, ErrorCode::kReadOnly);
    EXPECT_NE(reader.error().message.find("'d/db.mdb'"), std::string::npos) << reader.error().message;
    EXPECT_NE(reader.error().message.find("'d/db.mdb-journal'"), std::string::npos) << reader.error().message;
    EXPECT_TRUE(k.env.Has("d/db.mdb-journal"));

    k.env.read_only_files.clear();
    auto writer = Pager::Open("d/db.mdb", {.writable = true, .env = &k.env});
    ASSERT_TRUE(writer) << writer.error().message;
    EXPECT_EQ(k.env.Contents("d/db.mdb"), k.committed);
    EXPECT_EQ((*writer)->PageCount(), k.committed.size() / kPage);
  }
}

}  // namespace

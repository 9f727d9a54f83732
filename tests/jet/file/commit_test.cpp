// Commits through the fault environment: a commit that fails at any step
// leaves the file as at the last commit and counts the statements lost;
// statements roll back on their own; lazy commits by count and by time; the
// 2 GB limit (lowered); commits without a journal (for measuring its cost).

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>

#include "platform/jet/file/pager.h"
#include "tests/jet/file/fault_env.h"
#include "tests/jet/file/page_stream.h"
#include "tests/support/environment.h"

namespace {

using namespace jet;
using testing_support::ApplyStatement;
using testing_support::FaultEnv;
using Op = FaultEnv::Op;

constexpr const char* kDb = "f/db.mdb";
constexpr const char* kJournal = "f/db.mdb-journal";

struct Scene {
  FaultEnv env;
  std::vector<std::byte> fixture;
  PagerOptions options{.writable = true};
  bool ok = false;
  Scene() {
    auto path = testing_support::AccessFixture("engine-empty-jet4.mdb");
    if (!path) return;
    fixture = testing_support::ReadBytes(*path);
    env.Put(kDb, fixture);
    options.env = &env;
    options.commit_limits = {.statements = 1000000, .delay = std::chrono::hours(1)};
    ok = true;
  }
  std::unique_ptr<Pager> Open() {
    auto pager = Pager::Open(kDb, options);
    EXPECT_TRUE(pager) << pager.error().message;
    return pager ? std::move(*pager) : nullptr;
  }
};

TEST(CommitTest, AFailedCommitLeavesTheLastCommitAndCountsTheLostStatements) {
  struct Case {
    const char* name;
    FaultEnv::Fault fault;
  };
  const Case cases[] = {
      {"creating the journal", {Op::kCreate, "-journal"}},
      {"writing the journal", {Op::kWrite, "-journal", 1}},
      {"syncing the journal", {Op::kSync, "-journal"}},
      {"syncing the folder", {Op::kSyncFolder, "-journal"}},
      {"writing the database", {Op::kWrite, "db.mdb", 2}},
      {"syncing the database", {Op::kSync, "db.mdb"}},
      {"invalidating the journal", {Op::kSync, "-journal", 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    REQUIRE_FIXTURES("engine-empty-jet4.mdb");
    Scene s;
    ASSERT_TRUE(s.ok);
    auto pager = s.Open();
    ASSERT_TRUE(pager);
    for (int k = 0; k < 3; ++k) {
      ASSERT_TRUE(ApplyStatement(*pager, k));
      ASSERT_TRUE(pager->StatementDone());
    }
    ASSERT_TRUE(pager->Commit());
    auto committed = s.env.Contents(kDb);
    for (int k = 3; k < 8; ++k) {
      ASSERT_TRUE(ApplyStatement(*pager, k));
      ASSERT_TRUE(pager->StatementDone());
    }
    EXPECT_EQ(pager->PendingStatements(), 5u);
    s.env.faults.push_back(c.fault);
    auto failed = pager->Commit();
    ASSERT_FALSE(failed);
    EXPECT_NE(failed.error().message.find("The 5 statements since the last commit were lost"), std::string::npos)
        << failed.error().message;
    EXPECT_NE(failed.error().message.find(kDb), std::string::npos);
    EXPECT_NE(failed.error().message.find("the disk is full"), std::string::npos) << failed.error().message;
    EXPECT_EQ(s.env.Contents(kDb), committed);
    EXPECT_FALSE(s.env.Has(kJournal));
    EXPECT_FALSE(pager->HasChanges());
    EXPECT_EQ(pager->PageCount(), committed.size() / 4096);
    EXPECT_EQ(pager->PendingStatements(), 0u);

    // The pager goes on: later statements commit normally.
    ASSERT_TRUE(ApplyStatement(*pager, 8));
    ASSERT_TRUE(pager->StatementDone());
    ASSERT_TRUE(pager->Commit());
    EXPECT_NE(s.env.Contents(kDb), committed);
    EXPECT_FALSE(s.env.Has(kJournal));
  }
}

// Work kept aside until a commit (the executor's waiting index entries) goes
// in first, whatever commits; when it fails, the commit fails as a failed
// write does: the file as at the last commit, the statements counted lost.
TEST(CommitTest, TheHookBeforeACommitGoesInFirstOrFailsTheCommit) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  Scene s;
  ASSERT_TRUE(s.ok);
  auto pager = s.Open();
  const std::byte mark[] = {std::byte{0x5A}};
  Status hook_result;
  int calls = 0;
  pager->SetBeforeCommit([&]() -> Status {
    ++calls;
    JET_TRY(hook_result);
    return pager->Patch(12, 200, mark);
  });
  ASSERT_TRUE(ApplyStatement(*pager, 0));
  ASSERT_TRUE(pager->StatementDone());
  ASSERT_TRUE(pager->Commit());
  EXPECT_EQ(calls, 1);
  auto committed = s.env.Contents(kDb);
  EXPECT_EQ(committed[12 * 4096 + 200], mark[0]) << "the hook's write was not committed";

  for (int k = 1; k < 4; ++k) {
    ASSERT_TRUE(ApplyStatement(*pager, k));
    ASSERT_TRUE(pager->StatementDone());
  }
  hook_result = MakeError(ErrorCode::kIoError, "entries could not go in");
  auto failed = pager->Commit();
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().kind, ErrorKind::kWriteFailed);
  EXPECT_EQ(failed.error().statements_lost, 3u);
  EXPECT_NE(failed.error().message.find("entries could not go in"), std::string::npos) << failed.error().message;
  EXPECT_NE(failed.error().message.find("The 3 statements since the last commit were lost"), std::string::npos);
  EXPECT_EQ(s.env.Contents(kDb), committed);
  EXPECT_FALSE(pager->HasChanges());
  EXPECT_EQ(pager->PendingStatements(), 0u);
  pager->SetBeforeCommit(nullptr);
}

TEST(CommitTest, ACommitThatCannotPutTheFileBackLeavesItsJournalForTheNextOpen) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  Scene s;
  ASSERT_TRUE(s.ok);
  auto pager = s.Open();
  ASSERT_TRUE(ApplyStatement(*pager, 0));
  ASSERT_TRUE(pager->Commit());
  auto committed = s.env.Contents(kDb);
  for (int k = 1; k < 5; ++k) {
    ASSERT_TRUE(ApplyStatement(*pager, k));
    ASSERT_TRUE(pager->StatementDone());
  }
  s.env.faults.push_back({Op::kWrite, "db.mdb", 1, true, "an I/O error"});
  auto failed = pager->Commit();
  ASSERT_FALSE(failed);
  const std::string& m = failed.error().message;
  EXPECT_NE(m.find("The 4 statements since the last commit were lost"), std::string::npos) << m;
  EXPECT_NE(m.find(kJournal), std::string::npos) << m;
  EXPECT_TRUE(s.env.Has(kJournal));
  EXPECT_FALSE(pager->Read(3)) << "a pager whose file could not be put back refuses all use";
  EXPECT_FALSE(pager->Commit());
  pager.reset();

  s.env.faults.clear();
  pager = s.Open();
  ASSERT_TRUE(pager);
  EXPECT_EQ(s.env.Contents(kDb), committed);
  EXPECT_FALSE(s.env.Has(kJournal));
}

TEST(CommitTest, AJournalLeftAfterTheCommitPointRestoresNothing) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  Scene s;
  ASSERT_TRUE(s.ok);
  auto pager = s.Open();
  ASSERT_TRUE(ApplyStatement(*pager, 0));
  s.env.faults.push_back({Op::kRemove, "-journal"});
  ASSERT_TRUE(pager->Commit()) << "the commit point is passed before the removal";
  auto committed = s.env.Contents(kDb);
  EXPECT_TRUE(s.env.Has(kJournal));
  pager.reset();
  s.options.writable = false;
  ASSERT_TRUE(s.Open());
  EXPECT_TRUE(s.env.Has(kJournal)) << "a reader leaves an invalid journal alone";
  s.options.writable = true;
  ASSERT_TRUE(s.Open());
  EXPECT_FALSE(s.env.Has(kJournal));
  EXPECT_EQ(s.env.Contents(kDb), committed);
}

TEST(CommitTest, AStatementRollsBackAloneAndTheGroupCommitsWhenDue) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  Scene s;
  ASSERT_TRUE(s.ok);
  auto now = std::chrono::steady_clock::time_point{};
  s.options.clock = [&] { return now; };
  s.options.commit_limits = {.statements = 3, .delay = std::chrono::milliseconds(500)};
  auto pager = s.Open();
  const uint32_t pages = pager->PageCount();

  ASSERT_TRUE(ApplyStatement(*pager, 3));  // pages 4 and 12, and an appended page
  ASSERT_TRUE(pager->StatementDone());
  auto page12 = std::vector<std::byte>(pager->Read(12)->begin(), pager->Read(12)->end());
  ASSERT_TRUE(ApplyStatement(*pager, 7));  // pages 10 and 14, another appended page
  (*pager->Write(12))[0] ^= std::byte{0xFF};
  pager->RollbackStatement();
  EXPECT_EQ(pager->PageCount(), pages + 1);
  EXPECT_TRUE(std::equal(page12.begin(), page12.end(), pager->Read(12)->begin()));
  EXPECT_TRUE(std::equal(s.fixture.begin() + 10 * 4096, s.fixture.begin() + 11 * 4096, pager->Read(10)->begin()));
  EXPECT_EQ(pager->DirtyPages(), (std::vector<uint32_t>{4, 12, pages}));
  EXPECT_EQ(s.env.Contents(kDb), s.fixture) << "nothing committed yet";

  // By count: the third statement commits the group.
  ASSERT_TRUE(ApplyStatement(*pager, 1));
  ASSERT_TRUE(pager->StatementDone());
  EXPECT_EQ(s.env.Contents(kDb), s.fixture);
  ASSERT_TRUE(ApplyStatement(*pager, 2));
  ASSERT_TRUE(pager->StatementDone());
  EXPECT_FALSE(pager->HasChanges());
  auto first_group = s.env.Contents(kDb);
  EXPECT_EQ(first_group.size(), (pages + 1) * 4096ul);

  // By time: 500 ms after the group's first statement.
  ASSERT_TRUE(ApplyStatement(*pager, 4));
  ASSERT_TRUE(pager->StatementDone());
  now += std::chrono::milliseconds(499);
  ASSERT_TRUE(pager->CommitIfDue());
  EXPECT_TRUE(pager->HasChanges());
  now += std::chrono::milliseconds(1);
  ASSERT_TRUE(pager->CommitIfDue());
  EXPECT_FALSE(pager->HasChanges());
  EXPECT_NE(s.env.Contents(kDb), first_group);

  // Rollback drops the whole pending group.
  ASSERT_TRUE(ApplyStatement(*pager, 5));
  ASSERT_TRUE(pager->StatementDone());
  auto committed = s.env.Contents(kDb);
  pager->Rollback();
  EXPECT_EQ(pager->PendingStatements(), 0u);
  ASSERT_TRUE(pager->Commit());
  EXPECT_EQ(s.env.Contents(kDb), committed);
}

// Changed pages stay in memory until their commit: a group that has changed
// enough of them, or added enough, is committed as its statement ends,
// whatever the time.
TEST(CommitTest, AGroupThatHasChangedOrAddedEnoughPagesCommits) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  const CommitLimits limits[] = {
      {.statements = 1000, .delay = std::chrono::hours(1), .dirty_pages = 6, .appended_pages = 1000},
      {.statements = 1000, .delay = std::chrono::hours(1), .dirty_pages = 1000, .appended_pages = 2},
  };
  for (const CommitLimits& limit : limits) {
    SCOPED_TRACE(limit.dirty_pages);
    Scene s;
    ASSERT_TRUE(s.ok);
    s.options.commit_limits = limit;
    auto pager = s.Open();
    ASSERT_TRUE(ApplyStatement(*pager, 3));  // pages 4 and 12, and an appended page
    ASSERT_TRUE(pager->StatementDone());
    EXPECT_TRUE(pager->HasChanges());
    ASSERT_TRUE(ApplyStatement(*pager, 7));  // pages 10 and 14, another appended page: six, two of them new
    ASSERT_TRUE(pager->StatementDone());
    EXPECT_FALSE(pager->HasChanges());
    EXPECT_NE(s.env.Contents(kDb), s.fixture);
  }
}

TEST(CommitTest, ACommitWithoutAJournalNeverCreatesOneAndSyncsTheDatabase) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  Scene s;
  ASSERT_TRUE(s.ok);
  s.options.journal = false;
  s.env.faults.push_back({Op::kCreate, "-journal", 0, true, "no journal wanted"});
  auto pager = s.Open();
  for (int k = 0; k < 3; ++k) {
    ASSERT_TRUE(ApplyStatement(*pager, k));
    ASSERT_TRUE(pager->StatementDone());
  }
  ASSERT_TRUE(pager->Commit());
  EXPECT_FALSE(s.env.Has(kJournal));
  auto committed = s.env.Contents(kDb);
  EXPECT_NE(committed, s.fixture);
  pager.reset();
  s.env.Crash(FaultEnv::Loss::kPowerLossDropAll);
  EXPECT_EQ(s.env.Contents(kDb), committed) << "the commit reached the disk";
}

TEST(CommitTest, TheFileNeverGrowsPastTheLimit) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  Scene s;
  ASSERT_TRUE(s.ok);
  const uint64_t pages = s.fixture.size() / 4096;
  s.options.max_file_bytes = (pages + 2) * 4096;
  auto pager = s.Open();
  ASSERT_TRUE(pager->Append());
  ASSERT_TRUE(pager->StatementDone());
  ASSERT_TRUE(pager->Write(4));
  ASSERT_TRUE(pager->Append());
  auto refused = pager->Append();
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().code, ErrorCode::kTooLarge);
  EXPECT_NE(refused.error().message.find(fmt::format("'{}'", kDb)), std::string::npos);
  EXPECT_NE(refused.error().message.find(fmt::format("beyond {} KB", (pages + 2) * 4)), std::string::npos)
      << refused.error().message;
  pager->RollbackStatement();
  ASSERT_TRUE(pager->Commit());
  EXPECT_EQ(s.env.Contents(kDb).size(), (pages + 1) * 4096);
  pager.reset();

  s.options.max_file_bytes = kMaxAccessFileBytes;
  s.options.writable = false;
  auto reader = s.Open();
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->PageCount(), pages + 1);
}

}  // namespace

// A patch keeps only the bytes it replaces to undo a statement: however it
// mixes with whole-page writes of the same page, a failed statement leaves
// the page exactly as the statement found it, and a good one reaches the file.
TEST(CommitTest, PatchedBytesRollBackWithTheirStatement) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  Scene s;
  ASSERT_TRUE(s.ok);
  auto pager = s.Open();
  auto image = [&](uint32_t page) {
    auto span = *pager->Read(page);
    return std::vector<std::byte>(span.begin(), span.end());
  };
  const std::byte one[] = {std::byte{1}, std::byte{2}, std::byte{3}, std::byte{4}};
  const std::byte two[] = {std::byte{9}, std::byte{9}};

  // A page dirty from an earlier statement.
  ASSERT_TRUE(pager->Patch(12, 100, one));
  ASSERT_TRUE(pager->StatementDone());
  const auto after_first = image(12);
  EXPECT_EQ(after_first[100], std::byte{1});

  for (int order = 0; order < 3; ++order) {
    if (order == 0) {  // patches alone, twice over the same bytes
      ASSERT_TRUE(pager->Patch(12, 100, two));
      ASSERT_TRUE(pager->Patch(12, 101, one));
    } else if (order == 1) {  // a patch, then the whole page written
      ASSERT_TRUE(pager->Patch(12, 100, two));
      (*pager->Write(12))[200] = std::byte{0x77};
    } else {  // the whole page written, then a patch
      (*pager->Write(12))[200] = std::byte{0x77};
      ASSERT_TRUE(pager->Patch(12, 100, two));
    }
    EXPECT_NE(image(12), after_first);
    pager->RollbackStatement();
    EXPECT_EQ(image(12), after_first) << "order " << order;
  }

  ASSERT_TRUE(pager->Patch(12, 102, two));
  ASSERT_TRUE(pager->StatementDone());
  ASSERT_TRUE(pager->Commit());
  auto file = s.env.Contents(kDb);
  EXPECT_EQ(file[12 * 4096 + 100], std::byte{1});
  EXPECT_EQ(file[12 * 4096 + 101], std::byte{2});
  EXPECT_EQ(file[12 * 4096 + 102], std::byte{9});
  EXPECT_EQ(file[12 * 4096 + 103], std::byte{9});
  EXPECT_FALSE(pager->Patch(12, 4095, two)) << "beyond the end of the page";
}

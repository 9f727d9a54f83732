// An INSERT that fails part-way is undone byte for byte, whatever page
// operation it failed at: the row patched onto the table's current page, the
// table's counters, index entries and pages it appended. Each operation of
// the statement is made to fail in turn, on a table with two indexes
// (indexes-2000.mdb, Table2), after earlier rows left its pages dirty.

#include <gtest/gtest.h>

#include <vector>

#include "platform/jet/table/table_appender.h"
#include "tests/jet/write/writable_copy.h"

namespace {

using namespace jet;
using write_test::WritableCopy;
using Row = std::vector<Cell>;

// Passes every call to the pager until `fail_at` calls have passed, then fails.
class FailingStore final : public PageStore {
 public:
  explicit FailingStore(PageStore& store) : store_(store) {}
  size_t fail_at = SIZE_MAX;
  size_t calls = 0;

  size_t PageSize() const override { return store_.PageSize(); }
  uint32_t PageCount() const override { return store_.PageCount(); }
  Result<std::span<const std::byte>> Read(uint32_t page) override { return store_.Read(page); }
  Result<std::span<std::byte>> Write(uint32_t page) override {
    JET_TRY(Count());
    return store_.Write(page);
  }
  Result<uint32_t> Append() override {
    JET_TRY(Count());
    return store_.Append();
  }
  Status Patch(uint32_t page, size_t offset, std::span<const std::byte> bytes) override {
    JET_TRY(Count());
    return store_.Patch(page, offset, bytes);
  }
  Result<std::span<std::byte>> WriteBytes(uint32_t page, size_t offset, size_t size) override {
    JET_TRY(Count());
    return store_.WriteBytes(page, offset, size);
  }

 private:
  Status Count() {
    if (calls++ >= fail_at) return MakeError(ErrorCode::kIoError, "injected failure");
    return {};
  }
  PageStore& store_;
};

std::vector<std::vector<std::byte>> Pages(Pager& pager) {
  std::vector<std::vector<std::byte>> pages;
  for (uint32_t p = 0; p < pager.PageCount(); ++p) {
    auto image = pager.Read(p);
    EXPECT_TRUE(image);
    pages.emplace_back(image->begin(), image->end());
  }
  return pages;
}

// Runs `statement` with the store failing at its first page operation, then
// its second, and so on, until it completes or `limit` failures; after each
// failure `undo(fail_at)` puts things back and checks them. The number of
// failures (`limit` if a failure was not the injected one).
template <typename Statement, typename Undo>
size_t FailAtEachOperation(FailingStore& store, size_t limit, Statement statement, Undo undo) {
  size_t failures = 0;
  for (size_t fail_at = 0; fail_at < limit; ++fail_at) {
    store.calls = 0;
    store.fail_at = fail_at;
    Status done = statement();
    if (done) return failures;  // every operation passed: the statement is complete
    if (done.error().message.find("injected") == std::string::npos) {
      ADD_FAILURE() << done.error().message;
      return limit;
    }
    ++failures;
    undo(fail_at);
    if (::testing::Test::HasFatalFailure()) return limit;
  }
  return failures;
}

TEST(StatementUndo, AnInsertFailingAtAnyPageOperationLeavesEveryPageAsBefore) {
  WritableCopy db;
  REQUIRE_FIXTURES("indexes-2000.mdb");
  ASSERT_TRUE(db.Open("indexes-2000.mdb", "StatementUndo"));
  FailingStore store(*db.pager);
  table::PageAllocator pages(store);
  auto appender = table::TableAppender::Open(store, pages, db.Tdef("Table2"));
  ASSERT_TRUE(appender) << appender.error().message;

  // Earlier statements: the current data page, the definition and the index
  // pages are all dirty (changed since the last commit) when the test begins.
  for (int64_t id = 1000; id < 1300; ++id) {
    ASSERT_TRUE((*appender)->Insert(Row{id, std::string("before ") + std::to_string(id)}));
    ASSERT_TRUE((*appender)->Finish());
    ASSERT_TRUE(db.pager->StatementDone());
  }
  const auto before = Pages(*db.pager);

  const size_t failures = FailAtEachOperation(
      store, 200,
      [&]() -> Status {
        // The longest text the column takes; an id in the middle of the index.
        JET_TRY((*appender)->Insert(Row{int64_t{1150} * 7, std::string(50, 'x')}));
        return (*appender)->Finish();
      },
      [&](size_t fail_at) {
        db.pager->RollbackStatement();
        pages.Reset();
        ASSERT_TRUE((*appender)->Reload());
        ASSERT_EQ(Pages(*db.pager), before) << "failing at operation " << fail_at;
      });
  ASSERT_LT(failures, 200u) << "the statement never completed";
  EXPECT_GE(failures, 3u) << "the statement should take several page operations";
  ASSERT_TRUE(db.pager->StatementDone());
  ASSERT_TRUE(db.pager->Commit());
  db.Close();
  EXPECT_EQ(write_test::CheckReport(db.path), "");
}

// The same for an appender whose index entries wait: a statement that adds a
// row and then puts the waiting entries into their trees, failing at any page
// operation, leaves every page as before and the earlier rows' entries still
// waiting, its own gone; the one that completes leaves a sound file.
TEST(StatementUndo, PuttingWaitingEntriesInFailingAtAnyOperationLeavesEveryPageAsBefore) {
  WritableCopy db;
  REQUIRE_FIXTURES("indexes-2000.mdb");
  ASSERT_TRUE(db.Open("indexes-2000.mdb", "StatementUndoWaiting"));
  FailingStore store(*db.pager);
  table::PageAllocator pages(store);
  auto appender = table::TableAppender::Open(store, pages, db.Tdef("Table2"), {.defer_index_entries = true});
  ASSERT_TRUE(appender) << appender.error().message;
  db.pager->SetBeforeCommit([&]() -> Status {  // as the executor does
    JET_TRY((*appender)->WritePending());
    (*appender)->KeepStatement();
    return {};
  });

  for (int64_t id = 1000; id < 1300; ++id) {
    ASSERT_TRUE((*appender)->Insert(Row{id * 37 % 1301 + 1000, std::string("before ") + std::to_string(id)}));
    ASSERT_TRUE((*appender)->Finish());
    (*appender)->KeepStatement();
    ASSERT_TRUE(db.pager->StatementDone());
  }
  ASSERT_TRUE((*appender)->HasPending());
  const auto before = Pages(*db.pager);

  const size_t failures = FailAtEachOperation(
      store, 2000,
      [&]() -> Status {
        JET_TRY((*appender)->Insert(Row{int64_t{8050}, std::string(50, 'x')}));
        JET_TRY((*appender)->WritePending());
        return (*appender)->Finish();
      },
      [&](size_t fail_at) {
        db.pager->RollbackStatement();
        pages.Reset();
        (*appender)->DiscardStatement();
        ASSERT_TRUE((*appender)->Reload());
        ASSERT_TRUE((*appender)->HasPending()) << "failing at operation " << fail_at;
        ASSERT_EQ(Pages(*db.pager), before) << "failing at operation " << fail_at;
      });
  ASSERT_LT(failures, 2000u) << "the statement never completed";
  EXPECT_GE(failures, 5u) << "a row and 300 entries into two trees take several page operations";
  EXPECT_FALSE((*appender)->HasPending());
  (*appender)->KeepStatement();
  ASSERT_TRUE(db.pager->StatementDone());
  ASSERT_TRUE(db.pager->Commit());
  db.pager->SetBeforeCommit(nullptr);
  db.Close();
  EXPECT_EQ(write_test::CheckReport(db.path), "");
}

}  // namespace

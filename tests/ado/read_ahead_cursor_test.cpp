// Reading ahead on a second thread must not change what the caller sees: the
// same rows in the same order, a failure at its own place (after the rows
// before it, and reading on afterwards as the source would), and no hang
// when the caller stops early.

#include "platform/ado/read_ahead_cursor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "platform/ado/error.h"

namespace {

// Rows 0..count-1 with one integer each; the rows listed in `failing` throw
// instead (once each) and are skipped afterwards.
class CountingCursor final : public ado::Cursor {
 public:
  CountingCursor(int count, std::set<int> failing, std::atomic<int>* fetched = nullptr)
      : count_(count), failing_(std::move(failing)), fetched_(fetched) {}
  const std::vector<ado::ColumnInfo>& Columns() const override { return columns_; }
  bool Fetch(std::vector<ado::Value>& row) override {
    if (next_ >= count_) return false;
    const int n = next_++;
    if (fetched_) ++*fetched_;
    if (failing_.count(n)) throw ado::Error(-2147467259, "row " + std::to_string(n) + " cannot be read");
    row = {ado::Value(int64_t{n})};
    return true;
  }

 private:
  std::vector<ado::ColumnInfo> columns_ = {{"n", 3}};
  int count_;
  int next_ = 0;
  std::set<int> failing_;
  std::atomic<int>* fetched_;
};

// What a caller reads: the numbers, and "!" where a Fetch raised.
std::vector<std::string> ReadAll(ado::Cursor& cursor) {
  std::vector<std::string> seen;
  std::vector<ado::Value> row;
  for (;;) {
    try {
      if (!cursor.Fetch(row)) break;
      seen.push_back(row.at(0).ToText());
    } catch (const ado::Error&) {
      seen.push_back("!");
    }
  }
  return seen;
}

TEST(ReadAheadCursorTest, GivesTheSourcesRowsAndFailuresInTheirOrder) {
  for (size_t batch : {size_t{1}, size_t{3}, size_t{256}}) {
    ado::ReadAheadCursor direct_reference(std::make_unique<CountingCursor>(0, std::set<int>{}));
    CountingCursor plain(1000, {0, 7, 8, 999});
    const auto expected = ReadAll(plain);
    ASSERT_EQ(expected.size(), 1000u);

    ado::ReadAheadCursor ahead(std::make_unique<CountingCursor>(1000, std::set<int>{0, 7, 8, 999}), batch, 2);
    EXPECT_EQ(ahead.Columns().at(0).name, "n");
    EXPECT_EQ(ReadAll(ahead), expected) << "batch of " << batch;
    std::vector<ado::Value> row;
    EXPECT_FALSE(ahead.Fetch(row)) << "the end stays the end";
    EXPECT_TRUE(ReadAll(direct_reference).empty());
  }
}

TEST(ReadAheadCursorTest, ReadsOnlyABoundedDistanceAheadAndStopsWhenDropped) {
  std::atomic<int> fetched{0};
  {
    ado::ReadAheadCursor ahead(std::make_unique<CountingCursor>(1000000, std::set<int>{}, &fetched), 10, 2);
    EXPECT_EQ(fetched.load(), 0) << "nothing is read before the first Fetch";
    std::vector<ado::Value> row;
    ASSERT_TRUE(ahead.Fetch(row));
    EXPECT_EQ(row.at(0).ToText(), "0");
    // The reader fills at most two waiting batches besides the caller's and the one it holds.
    for (int i = 0; i < 200 && fetched.load() < 40; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_LE(fetched.load(), 40);
  }  // dropped with the reader waiting for room: must not hang
  EXPECT_LT(fetched.load(), 1000000);
}

}  // namespace

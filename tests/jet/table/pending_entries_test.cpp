#include "platform/jet/table/pending_entries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/jet/table/key_filter.h"

namespace jet::table {
namespace {

using Key = std::vector<uint8_t>;

Key KeyOf(const std::string& text) { return Key(text.begin(), text.end()); }

// Entries come out sorted as the index sorts them: key bytes unsigned,
// shorter first on a common prefix (however long the prefix every key
// shares), then data page and row; keys that differ only past their first
// sixteen bytes after that prefix, or only in their ninth or seventeenth,
// and many rows of one key.
TEST(PendingEntries, SortAsTheIndexSortsEntries) {
  for (bool with_prefixes : {false, true}) {  // with keys that begin the others, nothing is shared
    PendingEntries pending;
    std::vector<format::IndexEntry> expected;
    std::mt19937 random(3);
    const std::string shared = "customer number ";
    for (int i = 0; i < 3000; ++i) {
      std::string text = shared + std::to_string(random() % 500);
      if (i % 7 == 0) text += std::string(1, '\0');
      if (i % 11 == 0) text += "0123456789 later" + std::to_string(i % 3);
      if (i % 13 == 0) text += "\xff";
      if (i % 19 == 0) text = shared + "12345678" + char('a' + i % 3);  // alike for eight bytes
      if (i % 23 == 0) text = shared + "1234567812345678" + char('a' + i % 3);  // and for sixteen
      if (with_prefixes && i % 17 == 0) text = shared.substr(0, 3 + i % 5);
      const Key key = KeyOf(text);
      const uint32_t page = random() % 50;
      const uint8_t row = static_cast<uint8_t>(i % 250);
      pending.Add(key, HashKey(key), page, row);
      expected.push_back(format::IndexEntry{key, page, row});
    }
    std::sort(expected.begin(), expected.end());
    const auto sorted = pending.Sorted();
    ASSERT_EQ(sorted.size(), expected.size());
    for (size_t i = 0; i < sorted.size(); ++i) {
      ASSERT_EQ(Key(sorted[i].key.begin(), sorted[i].key.end()), expected[i].key) << "entry " << i;
      ASSERT_EQ(sorted[i].data_page, expected[i].data_page) << "entry " << i;
      ASSERT_EQ(sorted[i].data_row, expected[i].data_row) << "entry " << i;
    }
  }
}

// A unique index asks for keys among its pending entries: a failed
// statement's entries go (newest first, however their hashes collide), the
// earlier statements' stay, and Clear forgets all.
TEST(PendingEntries, HoldKeysUntilTheirStatementIsDiscarded) {
  PendingEntries pending(/*exact=*/true);
  auto add = [&](int n) {
    const Key key = KeyOf("k" + std::to_string(n));
    pending.Add(key, HashKey(key) & 0xF, 1, 0);  // sixteen hashes: long probe runs
  };
  auto holds = [&](int n) {
    const Key key = KeyOf("k" + std::to_string(n));
    return pending.Holds(key, HashKey(key) & 0xF);
  };
  for (int n = 0; n < 3000; ++n) add(n);  // the key table grows several times
  pending.Keep();
  for (int n = 3000; n < 3500; ++n) add(n);
  EXPECT_TRUE(holds(3499));
  pending.Discard();
  EXPECT_EQ(pending.size(), 3000u);
  for (int n = 0; n < 3500; n += 7) EXPECT_EQ(holds(n), n < 3000) << n;
  add(3000);
  pending.Keep();
  pending.Discard();  // nothing since Keep
  EXPECT_TRUE(holds(3000));
  pending.Clear();
  EXPECT_FALSE(holds(5));
  add(5);
  EXPECT_TRUE(holds(5));
}

// The filter never says "no" for a key it was given, and seldom "maybe"
// for one it was not, even filled to the number of keys it was made for.
TEST(KeyFilter, NeverMissesAnAddedKeyAndSeldomFindsOthers) {
  KeyFilter filter(100000);
  ASSERT_GE(filter.capacity(), 100000u);
  for (int n = 0; n < static_cast<int>(filter.capacity()); ++n) filter.Add(HashKey(KeyOf("in " + std::to_string(n))));
  for (int n = 0; n < static_cast<int>(filter.capacity()); ++n)
    ASSERT_TRUE(filter.MayHold(HashKey(KeyOf("in " + std::to_string(n))))) << n;
  int maybes = 0;
  for (int n = 0; n < 100000; ++n) maybes += filter.MayHold(HashKey(KeyOf("out " + std::to_string(n))));
  EXPECT_LT(maybes, 2000);  // about 0.3% expected; 2% would make unique checks read leaves again
}

}  // namespace
}  // namespace jet::table

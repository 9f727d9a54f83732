// The StatementList: numbering from 1, texts changed in place, tick marks, and
// rows long and short.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "preview/row_text.h"
#include "preview/statement_list.h"

namespace {

TEST(StatementList, RowsAreNumberedFromOneAndChangedInPlace) {
  preview::StatementList list;
  list.Append("DROP TABLE \"t\"");
  list.Append("");
  list.Append("INSERT INTO \"t\" VALUES(1)");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Text(1), "DROP TABLE \"t\"");
  EXPECT_EQ(list.Text(2), "");
  EXPECT_THROW(list.Text(0), std::out_of_range);
  EXPECT_THROW(list.Text(4), std::out_of_range);
  EXPECT_THROW(list.SetText(4, "x"), std::out_of_range);

  list.SetText(1, "a much longer statement than the one it replaces");
  list.SetText(3, "");
  EXPECT_EQ(list.Text(1), "a much longer statement than the one it replaces");
  EXPECT_EQ(list.Text(2), "");
  EXPECT_EQ(list.Text(3), "");
  // A row copied onto another from the list itself.
  list.SetText(2, list.Text(1));
  EXPECT_EQ(list.Text(2), list.Text(1));

  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.Append("again");
  EXPECT_EQ(list.Text(1), "again");
}

TEST(StatementList, TicksStartClearAndFollowTheirRows) {
  preview::StatementList list;
  for (int i = 0; i < 100; ++i) list.Append(std::to_string(i));
  for (int row = 1; row <= 100; ++row) EXPECT_FALSE(list.Ticked(row));
  list.SetTicked(50, true);
  list.SetText(50, "changed");
  EXPECT_TRUE(list.Ticked(50));
  EXPECT_FALSE(list.Ticked(51));
  list.SetAllTicked(true);
  EXPECT_TRUE(list.Ticked(1) && list.Ticked(100));
  list.Append("new");
  EXPECT_FALSE(list.Ticked(101));
  EXPECT_THROW(list.Ticked(102), std::out_of_range);
}

TEST(StatementList, LongRowsAndManyEditsKeepEveryText) {
  preview::StatementList list;
  const std::string big(9 << 20, 'x');  // longer than a block
  list.Append("small");
  list.Append(big);
  list.Append("after");
  EXPECT_EQ(list.Text(2), big);
  EXPECT_EQ(list.Text(3), "after");
  // Enough replacements to make the list rewrite its texts.
  const std::string row(1000, 'r');
  for (int i = 0; i < 120; ++i) list.SetText(2, row + std::to_string(i) + big.substr(0, 1 << 20));
  EXPECT_EQ(list.Text(1), "small");
  EXPECT_EQ(list.Text(2).substr(0, 1003), row + "119");
  EXPECT_EQ(list.Text(3), "after");
  EXPECT_LT(list.MemoryBytes(), size_t(160) << 20);
}

TEST(RowText, BlankRows) {
  EXPECT_TRUE(preview::IsBlank(""));
  EXPECT_TRUE(preview::IsBlank("    "));
  EXPECT_FALSE(preview::IsBlank("\t"));
  EXPECT_FALSE(preview::IsBlank(" x "));
}

TEST(RowText, ReplaceFirstOccurrence) {
  using preview::ReplaceFirstOccurrence;
  EXPECT_EQ(ReplaceFirstOccurrence("a VARCHAR(5), b VARCHAR(6)", "varchar", "MEMO"), "a MEMO(5), b VARCHAR(6)");
  EXPECT_EQ(ReplaceFirstOccurrence("TEXTEXT", "TEXT", "X"), "XEXT");
  EXPECT_EQ(ReplaceFirstOccurrence("TETEXT", "TEXT", "X"), "TEX");
  EXPECT_EQ(ReplaceFirstOccurrence("a INT b INT", "INT", "INTEGER"), "a INTEGER b INT");
  EXPECT_EQ(ReplaceFirstOccurrence("a INT b", "int", ""), "a  b");
  EXPECT_EQ(ReplaceFirstOccurrence("abc", "", "x"), std::nullopt);
  EXPECT_EQ(ReplaceFirstOccurrence("abc", "d", "x"), std::nullopt);
  // Letters outside ASCII compare without case too; bytes around stay as they were.
  EXPECT_EQ(ReplaceFirstOccurrence("caf\xC3\x89 x", "\xC3\xA9", "e"), "cafe x");
  EXPECT_EQ(ReplaceFirstOccurrence("\xFF\xFE TEXT", "text", "MEMO"), "\xFF\xFE MEMO");
}

}  // namespace

#include "engine/null_to_default.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(NullToDefault, NullGivesTheDefaultAndAnythingElseItsText) {
  EXPECT_EQ(engine::NullToDefault(ado::Value(), "x"), "x");
  EXPECT_EQ(engine::NullToDefault(ado::Value(), ""), "");
  EXPECT_EQ(engine::NullToDefault(ado::Value(""), "x"), "");  // empty text is not Null
  EXPECT_EQ(engine::NullToDefault(ado::Value(true), ""), "True");
  EXPECT_EQ(engine::NullToDefault(ado::Value(false), ""), "False");
  EXPECT_EQ(engine::NullToDefault(ado::Value(int64_t{-42}), ""), "-42");
}

// The row builder's allocation-free path must give exactly the text that the
// data-access layer defines for every kind of value.
TEST(NullToDefault, FastPathAgreesWithTheValueTextForEveryKind) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<ado::Value> values = {
      ado::Value(),
      ado::Value("O'Brien"),
      ado::Value(""),
      ado::Value(int64_t{0}),
      ado::Value(std::numeric_limits<int64_t>::min()),
      ado::Value(std::numeric_limits<uint64_t>::max()),
      ado::Value(0.1),
      ado::Value(-1.5e-300),
      ado::Value(123456789012345680.0),
      ado::Value(nan),
      ado::Value(inf),
      ado::Value(-inf),
      ado::Value(ado::Decimal{"-12.50"}),
      ado::Value(ado::Date{2021, 8, 31}),
      ado::Value(ado::Date{-44, 3, 15}),
      ado::Value(ado::DateTime{{2021, 8, 31}, {0, 0, 0, 0}}),
      ado::Value(ado::DateTime{{2021, 8, 31}, {14, 5, 0, 0}}),
      ado::Value(ado::DateTime{{2021, 8, 31}, {0, 0, 0, 500000000}}),
      ado::Value(ado::DateTime{{1, 1, 1}, {23, 59, 59, 123456000}}),
      ado::Value(ado::Time{14, 5, 0, 0}),
      ado::Value(ado::Time{0, 0, 0, 1}),
      ado::Value(true),
      ado::Value(false),
      ado::Value(ado::Binary{0x00, 0xAB, 0xFF}),
  };
  std::string scratch = "left over";
  for (const auto& value : values) {
    SCOPED_TRACE(value.ToText());
    EXPECT_EQ(engine::NullToDefault(value, "", scratch), engine::NullToDefault(value, ""));
  }
  EXPECT_EQ(engine::NullToDefault(ado::Value(), "dflt", scratch), "dflt");
}

}  // namespace

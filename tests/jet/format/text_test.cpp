// Text values: UTF-16LE and the compressed Unicode form, both ways.

#include "platform/jet/format/text.h"

#include <gtest/gtest.h>

#include "tests/jet/memory_page_store.h"

namespace {

using jet::format::DecodeText;
using jet::format::EncodeText;
using testing_support::BytesOf;

TEST(TextTest, DecodesCompressedTextSwitchingModes) {
  // "ab" compressed, 00 switch, "Ω" (U+03A9) as UTF-16, 00 switch, "c" compressed.
  EXPECT_EQ(DecodeText(BytesOf("FF FE 61 62 00 A9 03 00 63")), "abΩc");
  // Latin-1 characters above 0x7F are one byte each in compressed mode.
  EXPECT_EQ(DecodeText(BytesOf("FF FE E4 E4 6B")), "ääk");
  // Ending in UTF-16 mode, and an empty compressed value.
  EXPECT_EQ(DecodeText(BytesOf("FF FE 78 00 3D D8 01 DE")), "x😁");
  // A leading switch, then a unit in UTF-16 mode, then back: a 00 low byte is
  // always a switch, so U+0100, U+DE00 ... cannot be stored compressed.
  EXPECT_EQ(DecodeText(BytesOf("FF FE 00 41 00 00 42")), "AB");
  EXPECT_EQ(DecodeText(BytesOf("FF FE")), "");
}

TEST(TextTest, DecodesUtf16WithSurrogatePairsAndDamage) {
  EXPECT_EQ(DecodeText(BytesOf("61 00 3D D8 00 DE 61 00")), "a😀a");
  EXPECT_EQ(DecodeText(BytesOf("3D D8 61 00")), "\xEF\xBF\xBD" "a");  // unpaired high surrogate
  EXPECT_EQ(DecodeText(BytesOf("00 DE")), "\xEF\xBF\xBD");            // lone low surrogate
  EXPECT_EQ(DecodeText(BytesOf("61 00 62")), "a\xEF\xBF\xBD");        // odd trailing byte
  EXPECT_EQ(DecodeText(BytesOf("FF FE 61 00 62")), "a\xEF\xBF\xBD");  // odd byte in UTF-16 mode
}

TEST(TextTest, EncodesCompressedOnlyWhenEveryCharacterFitsOneByte) {
  EXPECT_EQ(EncodeText("Müller", true), BytesOf("FF FE 4D FC 6C 6C 65 72"));
  EXPECT_EQ(EncodeText("Müller", false).size(), 12u);
  EXPECT_EQ(EncodeText("Ωmega", true), BytesOf("A9 03 6D 00 65 00 67 00 61 00"));
  // U+0100 has a zero low byte: it cannot be compressed.
  EXPECT_EQ(EncodeText("\xC4\x80", true), BytesOf("00 01"));
  for (std::string s : {"", "a", "O'Brien \"q\"\r\n", "ϰαὶ τότ' ἐγὼ", "a😀b", "ääkkösiä"}) {
    EXPECT_EQ(DecodeText(EncodeText(s, true)), s);
    EXPECT_EQ(DecodeText(EncodeText(s, false)), s);
  }
  EXPECT_EQ(jet::format::Utf16Length("a😀"), 3u);
  EXPECT_EQ(jet::format::Utf8ToUtf16("\xFF"), std::u16string(1, u'\xFFFD'));
}

}  // namespace

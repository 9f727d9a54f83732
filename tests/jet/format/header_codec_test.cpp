// The header: its fixed mask, signature and version checks, and the Jet 4
// password.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/jet/file/codec.h"
#include "platform/jet/crypto/crypto.h"
#include "platform/jet/format/header.h"
#include "tests/jet/memory_page_store.h"

namespace {

using namespace jet;
using testing_support::BytesOf;

std::vector<std::byte> Page0(const char* engine, uint8_t version) {
  std::vector<std::byte> page(4096);
  page[1] = std::byte{1};
  std::memcpy(page.data() + 4, engine, std::strlen(engine) + 1);
  page[0x14] = static_cast<std::byte>(version);
  return page;
}

TEST(HeaderTest, MaskIsTheRc4KeystreamOfTheFixedKey) {
  std::vector<std::byte> page(4096);
  ApplyHeaderMask(page);
  EXPECT_EQ(std::vector<std::byte>(page.begin() + 0x18, page.begin() + 0x20), BytesOf("B5 6F 03 62 61 08 C2 55"));
  // The whole constant against OpenSSL's RC4 over zeros with key C7 DA 39 6B.
  auto rc4 = crypto::Cipher::Make(crypto::Cipher::Kind::kRc4);
  ASSERT_TRUE(rc4) << rc4.error().message;
  std::vector<uint8_t> stream(128);
  const uint8_t key[] = {0xC7, 0xDA, 0x39, 0x6B};
  ASSERT_TRUE((*rc4)->Encrypt(key, {}, stream));
  auto mask = HeaderMask();
  EXPECT_EQ(std::vector<uint8_t>(mask.begin(), mask.end()), stream);
  ApplyHeaderMask(page);  // applying it twice gives the original back
  EXPECT_EQ(page, std::vector<std::byte>(4096));
}

TEST(HeaderTest, SignatureVersionAndLengthAreChecked) {
  auto jet4 = Page0("Standard Jet DB", 1);
  auto h = format::DecodeHeader(jet4);
  ASSERT_TRUE(h);
  EXPECT_TRUE(h->IsJet4());
  auto ace = Page0("Standard ACE DB", 5);
  ASSERT_TRUE(format::DecodeHeader(ace));
  EXPECT_EQ(format::DecodeHeader(ace)->version, format::Version::kAce16);

  auto jet3 = Page0("Standard Jet DB", 0);
  EXPECT_EQ(format::DecodeHeader(jet3).error().code, ErrorCode::kNotSupported);
  EXPECT_NE(format::DecodeHeader(jet3).error().message.find("Access 97"), std::string::npos);
  auto newer = Page0("Standard ACE DB", 9);
  EXPECT_EQ(format::DecodeHeader(newer).error().code, ErrorCode::kNotSupported);
  auto money = Page0("MSISAM Database", 1);
  EXPECT_EQ(format::DecodeHeader(money).error().code, ErrorCode::kNotSupported);
  auto other = Page0("Standard XYZ DB", 1);
  EXPECT_NE(format::DecodeHeader(other).error().message.find("not an Access database"), std::string::npos);
  auto text = BytesOf("50 4B 03 04 14 00");  // a ZIP file
  EXPECT_EQ(format::DecodeHeader(text).error().code, ErrorCode::kCorruption);
  auto truncated = std::span(jet4).first(1000);
  EXPECT_NE(format::DecodeHeader(truncated).error().message.find("truncated"), std::string::npos);
}

format::Header Jet4WithPassword(const std::u16string& password, double created) {
  format::Header h;
  h.version = format::Version::kJet4;
  h.creation_date = created;
  uint32_t days = static_cast<uint32_t>(created);
  for (size_t i = 0; i < format::kPasswordLength; ++i) {
    uint8_t plain = 0;
    if (i / 2 < password.size()) plain = static_cast<uint8_t>(password[i / 2] >> (8 * (i % 2)));
    h.password_field[i] = plain ^ static_cast<uint8_t>(days >> (8 * (i % 4)));
  }
  return h;
}

TEST(HeaderTest, Jet4PasswordIsMaskedWithTheCreationDate) {
  // The documented example: mask 18 AE 00 00, stored 68 AE 61 00 ...
  auto h = Jet4WithPassword(u"password", 0xAE18 + 0.25);
  EXPECT_EQ(h.password_field[0], 0x68);
  EXPECT_EQ(h.password_field[2], 0x61);
  EXPECT_EQ(DatabasePassword(h), "password");
  EXPECT_TRUE(CheckPassword(h, "password"));
  EXPECT_EQ(CheckPassword(h, "Password").error().message, "Not a valid password.");
  EXPECT_EQ(CheckPassword(h, "").error().code, ErrorCode::kWrongPassword);
  auto none = Jet4WithPassword(u"", 38143.5);
  EXPECT_EQ(DatabasePassword(none), "");
  EXPECT_TRUE(CheckPassword(none, "ignored"));  // a password for a file without one is ignored
  auto twenty = Jet4WithPassword(u"abcdefghijklmnopqrst", 40000);
  EXPECT_EQ(DatabasePassword(twenty), "abcdefghijklmnopqrst");
}

}  // namespace

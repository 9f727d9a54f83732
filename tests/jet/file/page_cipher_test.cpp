// Page encryption: the Office key derivations against values computed step by
// step from the Office encryption description (by an independent script), and
// every scheme's round trip and password check on parameters our writer makes.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <cstring>

#include "platform/jet/file/codec.h"
#include "platform/jet/crypto/office_keys.h"
#include "platform/jet/crypto/page_cipher.h"

namespace {

using namespace jet;
using namespace jet::crypto;
using crypto::Bytes;

std::string Hex(const Bytes& b) {
  std::string out;
  for (uint8_t x : b) out += fmt::format("{:02x}", x);
  return out;
}

TEST(OfficeKeysTest, DerivationsGiveTheDescribedKeys) {
  Bytes password = crypto::PasswordBytes("password");
  Bytes salt(16);
  for (int i = 0; i < 16; ++i) salt[i] = static_cast<uint8_t>(i);
  auto block = crypto::PageBlock(0x12345678, 5);
  crypto::Hasher sha1(crypto::HashAlgorithm::kSha1);

  Bytes h0 = sha1.Hash({salt, password});
  EXPECT_EQ(Hex(crypto::Rc4CryptoApiKey(sha1, h0, block, 128)), "2316ed4b62e3c6b95b791c2084f968b3");
  // 40 bits: five bytes of the hash, then zeros to 128 bits.
  EXPECT_EQ(Hex(crypto::Rc4CryptoApiKey(sha1, h0, block, 40)), "2316ed4b620000000000000000000000");

  Bytes standard = crypto::IteratedHash(crypto::HashAlgorithm::kSha1, salt, password, crypto::kStandardSpinCount);
  EXPECT_EQ(Hex(crypto::StandardAesKey(sha1, standard, block, 128)), "12eb123e68da009c074627bd90a0761c");
  EXPECT_EQ(Hex(crypto::StandardAesKey(sha1, standard, block, 256)),
            "12eb123e68da009c074627bd90a0761c5ec347a99eb42c77c7f60d61ad2a565f");

  crypto::Hasher sha512(crypto::HashAlgorithm::kSha512);
  Bytes agile = crypto::IteratedHash(crypto::HashAlgorithm::kSha512, salt, password, 1000);
  EXPECT_EQ(Hex(crypto::AgileKey(sha512, agile, crypto::kKeyValueBlock, 256)),
            "6463e0a297e4399399fc2af69c1684c19d699c1eb63a0fce9b699204500eb7e5");
  EXPECT_EQ(Hex(crypto::AgileIv(sha512, salt, block, 16)), "e09c0588714898f49cbf596d7a1180cb");
  // A hash shorter than the key is padded with 0x36.
  Bytes agile1 = crypto::IteratedHash(crypto::HashAlgorithm::kSha1, salt, password, 1000);
  EXPECT_EQ(Hex(crypto::AgileKey(sha1, agile1, crypto::kKeyValueBlock, 256)),
            "eb36b6775c96be67cc26604cb8ecccc688a19c46363636363636363636363636");
}

// A header page of an encrypted .accdb carrying `made`.
std::pair<format::Header, std::vector<std::byte>> AccdbHeader(const NewEncryption& made) {
  std::vector<std::byte> page(4096);
  size_t n = made.block.size();
  page[0x299] = static_cast<std::byte>(n);
  page[0x29A] = static_cast<std::byte>(n >> 8);
  std::memcpy(page.data() + 0x29B, made.block.data(), n);
  format::Header h;
  h.version = format::Version::kAce14;
  h.ace = true;
  h.db_key = made.db_key;
  return {h, page};
}

std::vector<std::byte> SomePage(uint8_t seed) {
  std::vector<std::byte> page(4096);
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::byte>((i * 31 + seed) & 0xFF);
  return page;
}

// Encrypts pages 7 and 8 and decrypts them again through a cipher opened
// afresh from the header, as a later open of the file would.
void ExpectRoundTrip(const NewEncryption& made, const std::string& password) {
  auto [header, page0] = AccdbHeader(made);
  auto writer = OpenPageCipher(header, page0, password);
  ASSERT_TRUE(writer) << writer.error().message;
  ASSERT_TRUE(*writer);
  auto plain = SomePage(3);
  std::vector<std::byte> seven(4096), eight(4096), again(4096);
  ASSERT_TRUE((*writer)->Encrypt(7, plain, seven));
  ASSERT_TRUE((*writer)->Encrypt(8, plain, eight));
  ASSERT_TRUE((*writer)->Encrypt(7, plain, again));
  EXPECT_NE(seven, plain);
  EXPECT_NE(seven, eight);  // the key material differs per page
  EXPECT_EQ(seven, again);  // and is the same each time (journal images depend on it)

  auto reader = OpenPageCipher(header, page0, password);
  ASSERT_TRUE(reader) << reader.error().message;
  ASSERT_TRUE((*reader)->Decrypt(7, seven));
  ASSERT_TRUE((*reader)->Decrypt(8, eight));
  EXPECT_EQ(seven, plain);
  EXPECT_EQ(eight, plain);

  for (std::string wrong : {std::string(""), password + "x", std::string("PASSWORD")}) {
    auto refused = OpenPageCipher(header, page0, wrong);
    ASSERT_FALSE(refused) << "password '" << wrong << "' was accepted";
    EXPECT_EQ(refused.error().code, ErrorCode::kWrongPassword);
    EXPECT_EQ(refused.error().message, "Not a valid password.");
  }
}

TEST(PageCipherTest, EveryAccdbSchemeRoundTripsPagesAndChecksThePassword) {
  struct Case {
    const char* name;
    Result<NewEncryption> made;
  };
  Case cases[] = {
      {"agile SHA-512", NewAgileEncryption("pässwörd 🔑")},
      {"agile SHA-1 AES-128", NewAgileEncryption("pässwörd 🔑", crypto::HashAlgorithm::kSha1, 1000, 128)},
      {"RC4 CryptoAPI 40-bit", NewBinaryEncryption("pässwörd 🔑", crypto::BinaryScheme::kRc4CryptoApi, 40)},
      {"RC4 CryptoAPI 128-bit", NewBinaryEncryption("pässwörd 🔑", crypto::BinaryScheme::kRc4CryptoApi, 128)},
      {"standard AES-128", NewBinaryEncryption("pässwörd 🔑", crypto::BinaryScheme::kStandardAes, 128)},
      {"standard AES-192", NewBinaryEncryption("pässwörd 🔑", crypto::BinaryScheme::kStandardAes, 192)},
      {"standard AES-256", NewBinaryEncryption("pässwörd 🔑", crypto::BinaryScheme::kStandardAes, 256)},
      {"CryptoAPI AES-128", NewBinaryEncryption("pässwörd 🔑", crypto::BinaryScheme::kCryptoApiAes, 128)},
      {"CryptoAPI AES-256", NewBinaryEncryption("pässwörd 🔑", crypto::BinaryScheme::kCryptoApiAes, 256)},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.made) << c.made.error().message;
    ExpectRoundTrip(*c.made, "pässwörd 🔑");
  }
}

uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// Access with its encryption compatibility mode off: the block reads like
// RC4 CryptoAPI's but names AES, and the password is hashed once, not 50,000
// times. Checked here from the block's own bytes, apart from our reader.
TEST(PageCipherTest, CryptoApiAesReadsLikeRc4AndHashesThePasswordOnce) {
  auto made = NewBinaryEncryption("pw", crypto::BinaryScheme::kCryptoApiAes, 256);
  ASSERT_TRUE(made) << made.error().message;
  const Bytes& b = made->block;
  EXPECT_EQ(Get32(b, 0), 0x00020004u);       // version 4.2
  EXPECT_EQ(Get32(b, 12) & 0x24, 0x04u);     // CryptoAPI, no AES flag
  EXPECT_EQ(Get32(b, 12 + 8), 0x6610u);      // AES-256
  EXPECT_EQ(Get32(b, 12 + 12), 0x8004u);     // SHA-1
  EXPECT_EQ(Get32(b, 12 + 20), 0x18u);       // PROV_RSA_AES
  size_t v = 12 + Get32(b, 8);
  ASSERT_EQ(Get32(b, v), 16u);
  Bytes salt(b.begin() + v + 4, b.begin() + v + 20);
  Bytes verifier(b.begin() + v + 20, b.begin() + v + 36);
  Bytes verifier_hash(b.begin() + v + 40, b.begin() + v + 72);

  crypto::Hasher sha1(crypto::HashAlgorithm::kSha1);
  Bytes h0 = sha1.Hash({salt, crypto::PasswordBytes("pw")});
  Bytes key = crypto::StandardAesKey(sha1, h0, crypto::BlockNumber(0), 256);
  auto aes = crypto::Cipher::Make(crypto::Cipher::Kind::kAesEcb);
  ASSERT_TRUE(aes);
  ASSERT_TRUE((*aes)->Decrypt(key, {}, verifier));
  ASSERT_TRUE((*aes)->Decrypt(key, {}, verifier_hash));
  Bytes expected = sha1.Hash({verifier});
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), verifier_hash.begin()));
}

TEST(PageCipherTest, Jet4EncodingUsesTheHeaderKeyAndNoPassword) {
  format::Header h;
  h.version = format::Version::kJet4;
  h.db_key = 0x6B39DAC7;
  std::vector<std::byte> page0(4096);
  auto cipher = OpenPageCipher(h, page0, "");
  ASSERT_TRUE(cipher) << cipher.error().message;
  auto plain = SomePage(9);
  std::vector<std::byte> stored(4096);
  ASSERT_TRUE((*cipher)->Encrypt(2, plain, stored));
  // RC4 with key db_key XOR 2, little-endian: C5 DA 39 6B.
  auto rc4 = crypto::Cipher::Make(crypto::Cipher::Kind::kRc4);
  ASSERT_TRUE(rc4);
  std::vector<std::byte> expected = plain;
  const uint8_t key[] = {0xC5, 0xDA, 0x39, 0x6B};
  ASSERT_TRUE((*rc4)->Encrypt(key, {}, crypto::View(std::span<std::byte>(expected))));
  EXPECT_EQ(stored, expected);
  ASSERT_TRUE((*cipher)->Decrypt(2, stored));
  EXPECT_EQ(stored, plain);

  h.db_key = 0;
  auto none = OpenPageCipher(h, page0, "anything");
  ASSERT_TRUE(none);
  EXPECT_FALSE(*none);  // plain pages need no cipher
}

TEST(PageCipherTest, UnknownOrDamagedParametersAreRefusedClearly) {
  auto made = NewBinaryEncryption("pw", crypto::BinaryScheme::kRc4CryptoApi, 128);
  ASSERT_TRUE(made);
  auto opened = [&](Bytes block) {
    NewEncryption changed{std::move(block), made->db_key};
    auto [header, page0] = AccdbHeader(changed);
    return OpenPageCipher(header, page0, "pw");
  };
  auto extensible = opened(Bytes{4, 0, 3, 0, 0x10, 0, 0, 0});
  EXPECT_EQ(extensible.error().code, ErrorCode::kNotSupported);
  EXPECT_NE(extensible.error().message.find("extensible"), std::string::npos);
  EXPECT_NE(extensible.error().message.find("remove the database password in Access"), std::string::npos);

  // Flags and AlgID decide the scheme; any other pair is refused by name.
  auto with = [&](uint32_t flags, uint32_t alg_id) {
    Bytes b = made->block;
    for (size_t at : {size_t{4}, size_t{12}})
      for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(flags >> (8 * i));
    for (int i = 0; i < 4; ++i) b[20 + i] = static_cast<uint8_t>(alg_id >> (8 * i));
    return opened(b);
  };
  struct Refused {
    uint32_t flags, alg_id;
    const char* named;
  };
  for (Refused r : {Refused{0x20, 0x660E, "version 4.2, flags 0x20, AlgID 0x660E"},   // AES without CryptoAPI
                    Refused{0x24, 0x6801, "version 4.2, flags 0x24, AlgID 0x6801"},   // AES flag, RC4 algorithm
                    Refused{0x04, 0x6602, "version 4.2, flags 0x04, AlgID 0x6602"}})  // RC2
  {
    auto refused = with(r.flags, r.alg_id);
    ASSERT_FALSE(refused) << r.named;
    EXPECT_EQ(refused.error().code, ErrorCode::kNotSupported);
    EXPECT_NE(refused.error().message.find(r.named), std::string::npos) << refused.error().message;
  }

  Bytes cut = made->block;
  cut.resize(cut.size() - 10);
  EXPECT_EQ(opened(cut).error().code, ErrorCode::kCorruption);
  EXPECT_EQ(opened(Bytes{}).error().code, ErrorCode::kCorruption);  // encrypted pages, no parameters

  auto agile = NewAgileEncryption("pw", crypto::HashAlgorithm::kSha512, 10);
  ASSERT_TRUE(agile);
  std::string xml(agile->block.begin(), agile->block.end());
  xml.replace(xml.find("ChainingModeCBC"), 15, "ChainingModeCFB");
  auto cfb = opened(Bytes(xml.begin(), xml.end()));
  EXPECT_EQ(cfb.error().code, ErrorCode::kNotSupported);
  EXPECT_NE(cfb.error().message.find("ChainingModeCFB"), std::string::npos);
}

}  // namespace

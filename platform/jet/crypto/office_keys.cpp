#include "platform/jet/crypto/office_keys.h"

#include "platform/jet/format/text.h"

namespace jet::crypto {

Bytes PasswordBytes(std::string_view utf8) {
  std::u16string units = format::Utf8ToUtf16(utf8);
  if (units.size() > kMaxPasswordCharacters) units.resize(kMaxPasswordCharacters);
  Bytes out;
  out.reserve(units.size() * 2);
  for (char16_t u : units) {
    out.push_back(static_cast<uint8_t>(u));
    out.push_back(static_cast<uint8_t>(u >> 8));
  }
  return out;
}

std::array<uint8_t, 4> BlockNumber(uint32_t n) {
  return {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
          static_cast<uint8_t>(n >> 24)};
}

std::array<uint8_t, 4> PageBlock(uint32_t db_key, uint32_t page) { return BlockNumber(db_key ^ page); }

Bytes IteratedHash(HashAlgorithm hash, ByteView salt, ByteView password, int spin) {
  crypto::Hasher hasher(hash);
  Bytes h = hasher.Hash({salt, password});
  for (int i = 0; i < spin; ++i) {
    auto n = BlockNumber(static_cast<uint32_t>(i));
    hasher.HashInto({n, h}, h.data());
  }
  return h;
}

Bytes Rc4CryptoApiKey(crypto::Hasher& sha1, ByteView h0, ByteView block, uint32_t key_bits) {
  Bytes key = sha1.Hash({h0, block});
  key.resize(key_bits / 8);
  // A 40-bit key is the first 40 bits of the hash and 88 zero bits.
  if (key_bits == 40) key.resize(16, 0);
  return key;
}

Bytes StandardAesKey(crypto::Hasher& sha1, ByteView iterated, ByteView block, uint32_t key_bits) {
  Bytes final_hash = sha1.Hash({iterated, block});
  uint8_t x[64];
  Bytes key;
  for (uint8_t fill : {uint8_t{0x36}, uint8_t{0x5C}}) {
    for (size_t i = 0; i < sizeof x; ++i) x[i] = static_cast<uint8_t>(fill ^ (i < final_hash.size() ? final_hash[i] : 0));
    Bytes part = sha1.Hash({ByteView(x, sizeof x)});
    key.insert(key.end(), part.begin(), part.end());
  }
  key.resize(key_bits / 8);
  return key;
}

Bytes AgileKey(crypto::Hasher& hasher, ByteView iterated, ByteView block, uint32_t key_bits) {
  Bytes h = hasher.Hash({iterated, block});
  return crypto::FixLength(h, key_bits / 8, 0x36);
}

Bytes AgileIv(crypto::Hasher& hasher, ByteView salt, ByteView block, size_t block_size) {
  Bytes h = hasher.Hash({salt, block});
  return crypto::FixLength(h, block_size, 0x36);
}

}  // namespace jet::crypto

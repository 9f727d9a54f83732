#include "platform/jet/crypto/page_cipher.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/jet/crypto/office_keys.h"

namespace jet::crypto {
namespace {

using crypto::Bytes;
using crypto::ByteView;

Error WrongPassword() { return MakeError(ErrorCode::kWrongPassword, "Not a valid password."); }

// Ciphers whose key changes with the page and that take no IV: RC4 (Jet 4
// encoding and RC4 CryptoAPI) and Standard AES (ECB).
class KeyPerPageCipher final : public PageCipher {
 public:
  using KeyOf = std::function<Bytes(uint32_t page)>;
  KeyPerPageCipher(std::string description, std::unique_ptr<crypto::Cipher> cipher, KeyOf key_of)
      : description_(std::move(description)), cipher_(std::move(cipher)), key_of_(std::move(key_of)) {}
  std::string Describe() const override { return description_; }
  Status Decrypt(uint32_t page, std::span<std::byte> bytes) override {
    return cipher_->Decrypt(key_of_(page), {}, crypto::View(bytes));
  }
  Status Encrypt(uint32_t page, std::span<const std::byte> plain, std::span<std::byte> out) override {
    return cipher_->Run(true, key_of_(page), {}, crypto::View(plain), crypto::View(out));
  }

 private:
  std::string description_;
  std::unique_ptr<crypto::Cipher> cipher_;
  KeyOf key_of_;
};

class AgileCipher final : public PageCipher {
 public:
  AgileCipher(uint32_t db_key, Bytes secret, const crypto::AgileInfo& info, std::unique_ptr<crypto::Cipher> aes)
      : db_key_(db_key),
        secret_(std::move(secret)),
        salt_(info.data_salt),
        block_size_(info.data_block_size),
        hash_name_(crypto::HashName(info.data_hash)),
        hasher_(info.data_hash),
        aes_(std::move(aes)) {}
  std::string Describe() const override {
    return fmt::format("Office agile encryption (AES-{}, {})", secret_.size() * 8, hash_name_);
  }
  Status Decrypt(uint32_t page, std::span<std::byte> bytes) override {
    return aes_->Decrypt(secret_, Iv(page), crypto::View(bytes));
  }
  Status Encrypt(uint32_t page, std::span<const std::byte> plain, std::span<std::byte> out) override {
    return aes_->Run(true, secret_, Iv(page), crypto::View(plain), crypto::View(out));
  }

 private:
  Bytes Iv(uint32_t page) {
    auto block = crypto::PageBlock(db_key_, page);
    return crypto::AgileIv(hasher_, salt_, block, block_size_);
  }
  uint32_t db_key_;
  Bytes secret_;
  Bytes salt_;
  size_t block_size_;
  std::string hash_name_;
  crypto::Hasher hasher_;
  std::unique_ptr<crypto::Cipher> aes_;
};

// Decrypts the verifier and its hash and compares: the password is right when
// the hash of the one is the other.
Result<std::unique_ptr<PageCipher>> OpenBinary(uint32_t db_key, const crypto::BinaryInfo& info,
                                               const Bytes& password) {
  // The scheme's key for a block: the verifier is checked with block 0, and
  // each page uses db_key XOR its number.
  auto sha1 = std::make_shared<crypto::Hasher>(crypto::HashAlgorithm::kSha1);
  std::function<Bytes(ByteView block)> key_for;
  std::string description;
  std::unique_ptr<crypto::Cipher> engine;
  Bytes verifier = info.encrypted_verifier, verifier_hash = info.encrypted_verifier_hash;
  if (info.aes()) {
    Bytes iterated = crypto::IteratedHash(crypto::HashAlgorithm::kSha1, info.salt, password, info.spin_count());
    key_for = [sha1, iterated = std::move(iterated), bits = info.key_bits](ByteView block) {
      return crypto::StandardAesKey(*sha1, iterated, block, bits);
    };
    description = info.scheme == crypto::BinaryScheme::kStandardAes
                      ? fmt::format("Office standard encryption (AES-{})", info.key_bits)
                      : fmt::format("Office CryptoAPI encryption (AES-{}, compatibility mode off)", info.key_bits);
    JET_ASSIGN_OR_RETURN(aes, crypto::Cipher::Make(crypto::Cipher::Kind::kAesEcb));
    Bytes key = key_for(crypto::BlockNumber(0));
    JET_TRY(aes->Decrypt(key, {}, verifier));
    JET_TRY(aes->Decrypt(key, {}, verifier_hash));
    engine = std::move(aes);
  } else {
    key_for = [sha1, h0 = sha1->Hash({info.salt, password}), bits = info.key_bits](ByteView block) {
      return crypto::Rc4CryptoApiKey(*sha1, h0, block, bits);
    };
    description = fmt::format("Office RC4 CryptoAPI encryption ({}-bit)", info.key_bits);
    JET_ASSIGN_OR_RETURN(rc4, crypto::Cipher::Make(crypto::Cipher::Kind::kRc4));
    // The verifier and its hash are one RC4 stream.
    Bytes both = verifier;
    both.insert(both.end(), verifier_hash.begin(), verifier_hash.end());
    JET_TRY(rc4->Decrypt(key_for(crypto::BlockNumber(0)), {}, both));
    verifier.assign(both.begin(), both.begin() + 16);
    verifier_hash.assign(both.begin() + 16, both.end());
    engine = std::move(rc4);
  }
  Bytes expected = sha1->Hash({verifier});
  if (verifier_hash.size() < expected.size() || !std::equal(expected.begin(), expected.end(), verifier_hash.begin()))
    return WrongPassword();
  return std::unique_ptr<PageCipher>(std::make_unique<KeyPerPageCipher>(
      std::move(description), std::move(engine),
      [key_for = std::move(key_for), db_key](uint32_t page) { return key_for(crypto::PageBlock(db_key, page)); }));
}

Result<std::unique_ptr<PageCipher>> OpenAgile(uint32_t db_key, const crypto::AgileInfo& info, const Bytes& password) {
  crypto::Hasher hasher(info.hash);
  Bytes iterated = crypto::IteratedHash(info.hash, info.salt, password, static_cast<int>(info.spin_count));
  Bytes iv = crypto::FixLength(info.salt, info.block_size, 0x36);
  JET_ASSIGN_OR_RETURN(aes, crypto::Cipher::Make(crypto::Cipher::Kind::kAesCbc));
  auto decrypt = [&](const uint8_t (&block)[8], Bytes data) -> Result<Bytes> {
    Bytes key = crypto::AgileKey(hasher, iterated, ByteView(block, 8), info.key_bits);
    JET_TRY(aes->Decrypt(key, iv, data));
    return data;
  };
  JET_ASSIGN_OR_RETURN(verifier, decrypt(crypto::kVerifierInputBlock, info.encrypted_verifier_input));
  JET_ASSIGN_OR_RETURN(verifier_hash, decrypt(crypto::kVerifierValueBlock, info.encrypted_verifier_value));
  verifier.resize(std::min(verifier.size(), info.salt.size()));
  Bytes expected = hasher.Hash({verifier});
  if (!std::equal(expected.begin(), expected.end(), verifier_hash.begin())) return WrongPassword();
  JET_ASSIGN_OR_RETURN(secret, decrypt(crypto::kKeyValueBlock, info.encrypted_key_value));
  secret.resize(info.data_key_bits / 8);
  return std::unique_ptr<PageCipher>(std::make_unique<AgileCipher>(db_key, std::move(secret), info, std::move(aes)));
}

Result<uint32_t> NewDbKey() {
  for (;;) {
    JET_ASSIGN_OR_RETURN(bytes, crypto::RandomBytes(4));
    uint32_t key = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                   (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    if (key != 0) return key;
  }
}

}  // namespace

Result<std::unique_ptr<PageCipher>> OpenPageCipher(const format::Header& header, std::span<const std::byte> page0,
                                                   std::string_view password) {
  if (header.db_key == 0) return std::unique_ptr<PageCipher>();
  if (!header.ace) {
    JET_ASSIGN_OR_RETURN(rc4, crypto::Cipher::Make(crypto::Cipher::Kind::kRc4));
    const uint32_t db_key = header.db_key;
    return std::unique_ptr<PageCipher>(
        std::make_unique<KeyPerPageCipher>("Jet 4 encoding (RC4)", std::move(rc4), [db_key](uint32_t page) {
          auto block = crypto::PageBlock(db_key, page);
          return Bytes(block.begin(), block.end());
        }));
  }
  ByteView page = crypto::View(page0);
  if (page.size() < crypto::kBlockLimit)
    return MakeError(ErrorCode::kCorruption, "The Access database file is truncated (its header page is incomplete).");
  size_t length = static_cast<size_t>(page[crypto::kBlockOffset] | (page[crypto::kBlockOffset + 1] << 8));
  if (length == 0 || crypto::kBlockOffset + 2 + length > crypto::kBlockLimit)
    return MakeError(ErrorCode::kCorruption,
                     "The database's pages are encrypted, but its header page holds no valid encryption parameters.");
  JET_ASSIGN_OR_RETURN(info, crypto::Parse(page.subspan(crypto::kBlockOffset + 2, length)));
  Bytes password_bytes = crypto::PasswordBytes(password);
  if (auto* agile = std::get_if<crypto::AgileInfo>(&info)) return OpenAgile(header.db_key, *agile, password_bytes);
  return OpenBinary(header.db_key, std::get<crypto::BinaryInfo>(info), password_bytes);
}

Result<NewEncryption> NewAgileEncryption(std::string_view password, crypto::HashAlgorithm hash, uint32_t spin_count,
                                        uint32_t key_bits) {
  crypto::AgileInfo info;
  info.data_hash = info.hash = hash;
  info.data_key_bits = info.key_bits = key_bits;
  info.spin_count = spin_count;
  JET_ASSIGN_OR_RETURN(data_salt, crypto::RandomBytes(16));
  JET_ASSIGN_OR_RETURN(salt, crypto::RandomBytes(16));
  JET_ASSIGN_OR_RETURN(secret, crypto::RandomBytes(key_bits / 8));
  JET_ASSIGN_OR_RETURN(verifier, crypto::RandomBytes(16));
  info.data_salt = data_salt;
  info.salt = salt;

  crypto::Hasher hasher(hash);
  Bytes iterated = crypto::IteratedHash(hash, salt, crypto::PasswordBytes(password), static_cast<int>(spin_count));
  JET_ASSIGN_OR_RETURN(aes, crypto::Cipher::Make(crypto::Cipher::Kind::kAesCbc));
  auto encrypt = [&](const uint8_t (&block)[8], Bytes data) -> Result<Bytes> {
    data.resize((data.size() + 15) / 16 * 16, 0);  // whole AES blocks
    Bytes key = crypto::AgileKey(hasher, iterated, ByteView(block, 8), key_bits);
    JET_TRY(aes->Encrypt(key, salt, data));
    return data;
  };
  JET_ASSIGN_OR_RETURN(input, encrypt(crypto::kVerifierInputBlock, verifier));
  JET_ASSIGN_OR_RETURN(value, encrypt(crypto::kVerifierValueBlock, hasher.Hash({verifier})));
  JET_ASSIGN_OR_RETURN(key_value, encrypt(crypto::kKeyValueBlock, secret));
  info.encrypted_verifier_input = std::move(input);
  info.encrypted_verifier_value = std::move(value);
  info.encrypted_key_value = std::move(key_value);
  JET_ASSIGN_OR_RETURN(db_key, NewDbKey());
  return NewEncryption{crypto::Build(info), db_key};
}

Result<NewEncryption> NewBinaryEncryption(std::string_view password, crypto::BinaryScheme scheme,
                                          uint32_t key_bits) {
  using crypto::BinaryScheme;
  crypto::BinaryInfo info;
  info.scheme = scheme;
  const bool aes = info.aes();
  if (aes) {
    if (key_bits != 128 && key_bits != 192 && key_bits != 256)
      return MakeError(ErrorCode::kInvalidValue, fmt::format("AES has no {}-bit keys", key_bits));
    info.alg_id = key_bits == 128 ? crypto::kAlgAes128 : key_bits == 192 ? crypto::kAlgAes192 : crypto::kAlgAes256;
  } else {
    if (key_bits < 40 || key_bits > 128 || key_bits % 8 != 0)
      return MakeError(ErrorCode::kInvalidValue, fmt::format("RC4 CryptoAPI has no {}-bit keys", key_bits));
    info.alg_id = crypto::kAlgRc4;
  }
  info.major = 4;
  info.minor = 2;
  info.alg_id_hash = crypto::kAlgSha1;
  info.stored_key_bits = info.key_bits = key_bits;
  if (aes) {
    // With the compatibility mode off the flags read as RC4 CryptoAPI's do.
    info.flags = scheme == BinaryScheme::kStandardAes ? crypto::kFlagCryptoApi | crypto::kFlagAes
                                                      : crypto::kFlagCryptoApi | 0x08;
    info.provider_type = 0x18;  // PROV_RSA_AES
    info.csp_name = u"Microsoft Enhanced RSA and AES Cryptographic Provider";
  } else {
    info.flags = crypto::kFlagCryptoApi | 0x08;  // as Access's RC4 files: CryptoAPI, document properties
    info.provider_type = 0x01;  // PROV_RSA_FULL
    info.csp_name = key_bits == 40 ? u"Microsoft Base Cryptographic Provider v1.0"
                                   : u"Microsoft Enhanced Cryptographic Provider v1.0";
  }
  JET_ASSIGN_OR_RETURN(salt, crypto::RandomBytes(16));
  JET_ASSIGN_OR_RETURN(verifier, crypto::RandomBytes(16));
  info.salt = salt;
  Bytes password_bytes = crypto::PasswordBytes(password);
  crypto::Hasher sha1(crypto::HashAlgorithm::kSha1);
  auto block0 = crypto::BlockNumber(0);
  Bytes verifier_hash = sha1.Hash({verifier});
  if (aes) {
    Bytes iterated = crypto::IteratedHash(crypto::HashAlgorithm::kSha1, salt, password_bytes, info.spin_count());
    Bytes key = crypto::StandardAesKey(sha1, iterated, block0, key_bits);
    JET_ASSIGN_OR_RETURN(cipher, crypto::Cipher::Make(crypto::Cipher::Kind::kAesEcb));
    verifier_hash.resize(32, 0);
    JET_TRY(cipher->Encrypt(key, {}, verifier));
    JET_TRY(cipher->Encrypt(key, {}, verifier_hash));
  } else {
    Bytes key = crypto::Rc4CryptoApiKey(sha1, sha1.Hash({salt, password_bytes}), block0, key_bits);
    JET_ASSIGN_OR_RETURN(cipher, crypto::Cipher::Make(crypto::Cipher::Kind::kRc4));
    Bytes both = verifier;
    both.insert(both.end(), verifier_hash.begin(), verifier_hash.end());
    JET_TRY(cipher->Encrypt(key, {}, both));
    verifier.assign(both.begin(), both.begin() + 16);
    verifier_hash.assign(both.begin() + 16, both.end());
  }
  info.encrypted_verifier = verifier;
  info.encrypted_verifier_hash = verifier_hash;
  info.verifier_hash_size = 20;
  JET_ASSIGN_OR_RETURN(db_key, NewDbKey());
  return NewEncryption{crypto::Build(info), db_key};
}

}  // namespace jet::crypto

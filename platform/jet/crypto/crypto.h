#pragma once
// The ciphers and hashes the page encryption schemes need, all from OpenSSL's
// EVP interfaces. Nothing here knows about Access files.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/public/result.h"

namespace jet::crypto {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

enum class HashAlgorithm { kSha1, kSha256, kSha384, kSha512 };

// "SHA1", "SHA256", "SHA-512"... as Office writes them; false for others.
bool ParseHashAlgorithm(std::string_view name, HashAlgorithm* out);
const char* HashName(HashAlgorithm algorithm);  // "SHA1", "SHA512", ...
size_t HashSize(HashAlgorithm algorithm);

// A reusable digest: Hash(a, b, ...) = H(a ‖ b ‖ ...).
class Hasher {
 public:
  explicit Hasher(HashAlgorithm algorithm);
  ~Hasher();
  Hasher(const Hasher&) = delete;
  Hasher& operator=(const Hasher&) = delete;

  size_t size() const { return size_; }
  Bytes Hash(std::initializer_list<ByteView> parts);
  // Writes the digest of the parts into `out` (size() bytes).
  void HashInto(std::initializer_list<ByteView> parts, uint8_t* out);

 private:
  struct State;
  std::unique_ptr<State> state_;
  size_t size_;
};

// One cipher context, re-keyed per use. Data lengths for the block modes are
// whole blocks (no padding).
class Cipher {
 public:
  enum class Kind { kRc4, kAesEcb, kAesCbc };
  // Fails when OpenSSL cannot give the cipher (RC4 needs the legacy provider).
  static Result<std::unique_ptr<Cipher>> Make(Kind kind);
  ~Cipher();

  // In place. `iv` only for CBC.
  Status Encrypt(ByteView key, ByteView iv, std::span<uint8_t> data);
  Status Decrypt(ByteView key, ByteView iv, std::span<uint8_t> data);
  // Out of place: `in` and `out` have the same length.
  Status Run(bool encrypt, ByteView key, ByteView iv, ByteView in, std::span<uint8_t> out);

 private:
  struct State;
  explicit Cipher(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// Cryptographically strong random bytes.
Result<Bytes> RandomBytes(size_t count);

// Base64 as in Office's XML descriptors; false on malformed input.
bool Base64Decode(std::string_view text, Bytes* out);
std::string Base64Encode(ByteView bytes);

// Copies `bytes` cut or padded with `pad` to `length`.
Bytes FixLength(ByteView bytes, size_t length, uint8_t pad = 0);

inline ByteView View(std::span<const std::byte> b) {
  return ByteView(reinterpret_cast<const uint8_t*>(b.data()), b.size());
}
inline std::span<uint8_t> View(std::span<std::byte> b) {
  return std::span<uint8_t>(reinterpret_cast<uint8_t*>(b.data()), b.size());
}

}  // namespace jet::crypto

#pragma once
// The encryption provider block of a password-protected .accdb: at 0x299 of
// the header page, a 2-byte length, then an Office EncryptionInfo structure:
//
//   0  2  version major     2  2  version minor
//   4.4 (Agile)       4  4  reserved 0x40, then the XML descriptor (keyData:
//                      salt, block size, key bits, hash, cipher; one password
//                      key encryptor: spin count, salt, encrypted verifier
//                      input and hash, encrypted secret key)
//   2.2/3.2/4.2       4  4  flags (copy)   8  4  header size
//   (binary)          12    EncryptionHeader: flags, size extra, AlgID,
//                      AlgIDHash, key size in bits, provider type, 2 reserved,
//                      CSP name (UTF-16, NUL-ended)
//                      then EncryptionVerifier: salt size (16), salt,
//                      encrypted verifier (16), verifier hash size (20),
//                      encrypted verifier hash (20 for RC4, 32 for AES)
//
// Flags: 0x04 CryptoAPI, 0x20 AES. AlgID 0x6801 RC4, 0x660E/0x660F/0x6610
// AES-128/192/256 (0 = "from the flags").
//
// The binary form carries three schemes, told apart by flags and AlgID:
//   RC4 CryptoAPI     CryptoAPI flag, AlgID RC4 (or 0), 40 to 128 bits
//   Standard AES      CryptoAPI and AES flags, AlgID AES (or 0 = AES-128)
//   CryptoAPI AES     CryptoAPI flag without the AES flag, AlgID AES: what
//                     Access writes with its encryption compatibility mode
//                     off. Keys as Standard AES, but without the 50,000 spins.
// Any other combination is refused, naming version, flags and AlgID.

#include <cstdint>
#include <string>
#include <variant>

#include "platform/jet/crypto/crypto.h"
#include "platform/jet/public/result.h"

namespace jet::crypto {

using crypto::Bytes;
using crypto::ByteView;

inline constexpr size_t kBlockOffset = 0x299;
// The block must end before the table at 0xE00 that every header page holds.
inline constexpr size_t kBlockLimit = 0xE00;

inline constexpr uint32_t kFlagCryptoApi = 0x04;
inline constexpr uint32_t kFlagAes = 0x20;
inline constexpr uint32_t kAlgRc4 = 0x6801;
inline constexpr uint32_t kAlgAes128 = 0x660E;
inline constexpr uint32_t kAlgAes192 = 0x660F;
inline constexpr uint32_t kAlgAes256 = 0x6610;
inline constexpr uint32_t kAlgSha1 = 0x8004;

enum class BinaryScheme { kRc4CryptoApi, kStandardAes, kCryptoApiAes };

// RC4 CryptoAPI, Standard AES and CryptoAPI AES: the binary x.2 form.
struct BinaryInfo {
  BinaryScheme scheme = BinaryScheme::kRc4CryptoApi;  // as resolved from flags and AlgID
  uint16_t major = 4, minor = 2;
  uint32_t flags = 0;
  uint32_t alg_id = 0, alg_id_hash = 0;
  uint32_t key_bits = 0;        // as resolved: 40..128 for RC4, 128/192/256 for AES
  uint32_t stored_key_bits = 0; // as stored (0 = default)
  uint32_t provider_type = 0;
  std::u16string csp_name;
  Bytes salt, encrypted_verifier, encrypted_verifier_hash;
  uint32_t verifier_hash_size = 20;

  // Pages and verifier in AES-ECB (else RC4).
  bool aes() const { return scheme != BinaryScheme::kRc4CryptoApi; }
  // Rounds of the password hash: 50,000 for Standard AES, none otherwise.
  int spin_count() const;
};

// Agile: what the XML descriptor says.
struct AgileInfo {
  // keyData: how pages are encrypted.
  Bytes data_salt;
  uint32_t data_block_size = 16, data_key_bits = 256;
  crypto::HashAlgorithm data_hash = crypto::HashAlgorithm::kSha512;
  // The password key encryptor: how the secret key is kept.
  Bytes salt;
  uint32_t spin_count = 100000, block_size = 16, key_bits = 256;
  crypto::HashAlgorithm hash = crypto::HashAlgorithm::kSha512;
  Bytes encrypted_verifier_input, encrypted_verifier_value, encrypted_key_value;
};

using Info = std::variant<BinaryInfo, AgileInfo>;

// Reads the block that follows the 2-byte length. Unknown or unsupported
// schemes are kNotSupported, naming the scheme.
Result<Info> Parse(ByteView block);

// The block bytes for `info` (without the 2-byte length).
Bytes Build(const BinaryInfo& info);
Bytes Build(const AgileInfo& info);

}  // namespace jet::crypto

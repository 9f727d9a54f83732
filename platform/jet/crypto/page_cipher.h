#pragma once
// Page encryption. Every page but the header page (0) of an encrypted file is
// stored encrypted; the pager decrypts a page after reading it and encrypts it
// before writing it, so the layers above only ever see plain pages.
//
//   Jet 4 "encoded" .mdb   db_key ≠ 0: RC4, key = db_key XOR page number
//                          (4 bytes LE); with or without a database password
//   .accdb with a database password (db_key ≠ 0, parameters in the provider
//   block at 0x299, encryption_info.h; keys in office_keys.h):
//     Agile                AES-CBC, IV per page
//     RC4 CryptoAPI        RC4, key per page (40 to 128 bits)
//     Standard             AES-ECB, key per page
//     CryptoAPI AES        AES-ECB, key per page, the password hashed once
//
// Every scheme is deterministic per page: the same plain page always gives
// the same stored bytes, so images kept for the journal encrypt back to what
// the file held.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/jet/crypto/encryption_info.h"
#include "platform/jet/format/header.h"
#include "platform/jet/public/result.h"

namespace jet::crypto {

class PageCipher {
 public:
  virtual ~PageCipher() = default;
  // What the header says, for messages ("Office agile encryption (AES-256, SHA512)").
  virtual std::string Describe() const = 0;
  // Stored bytes to the page image, in place.
  virtual Status Decrypt(uint32_t page, std::span<std::byte> bytes) = 0;
  // A page image to its stored bytes (`plain` and `out` the same size).
  virtual Status Encrypt(uint32_t page, std::span<const std::byte> plain, std::span<std::byte> out) = 0;
};

// The cipher for a file whose header page (unmasked) is `page0`: nullptr when
// its pages are not encrypted. Checks the password as Access does: a wrong or
// missing one is kWrongPassword "Not a valid password."; a password given for
// a file without one is ignored.
Result<std::unique_ptr<PageCipher>> OpenPageCipher(const format::Header& header, std::span<const std::byte> page0,
                                                   std::string_view password);

// Parameters for a newly encrypted .accdb: the provider block to store at
// 0x299 and a fresh db_key. Salts and keys are random.
struct NewEncryption {
  crypto::Bytes block;
  uint32_t db_key = 0;
};
// Agile, as current Access writes it by default: AES-256, SHA-512, 100,000 spins.
Result<NewEncryption> NewAgileEncryption(std::string_view password,
                                        crypto::HashAlgorithm hash = crypto::HashAlgorithm::kSha512,
                                        uint32_t spin_count = 100000, uint32_t key_bits = 256);
// RC4 CryptoAPI (key_bits 40..128), Standard AES or CryptoAPI AES (128, 192 or 256).
Result<NewEncryption> NewBinaryEncryption(std::string_view password, crypto::BinaryScheme scheme,
                                          uint32_t key_bits);

}  // namespace jet::crypto

#pragma once
// A new .accdb protected by a database password, as Access protects one:
// Agile encryption (AES-256, SHA-512) by default, or one of the binary schemes
// older Access versions wrote; fresh salts, the provider block at 0x299 and
// the db_key in the header, and every page but the header page encrypted by
// the same cipher the pager uses for later writes.

#include <span>
#include <string_view>
#include <vector>

#include "platform/jet/file/page_cipher.h"
#include "platform/jet/result.h"

namespace jet::file {

// Stores `made` in the header page `pages[0]` (unmasked): the db_key and, when
// there is one, the provider block at 0x299; then encrypts every other page in
// place with the cipher those parameters and `password` give.
Status EncryptPages(std::span<std::vector<std::byte>> pages, const NewEncryption& made, std::string_view password);

enum class AccdbEncryption {
  kAgile,         // AES-256, SHA-512, 100,000 spins: current Access
  kRc4CryptoApi,  // RC4, 128-bit keys
  kStandardAes,   // AES-128, 50,000 spins
  kCryptoApiAes,  // AES-256 with the compatibility mode off
};

// `pages[0]` is the header page, unmasked; the others are encrypted in place.
// kInvalidValue for an empty password.
Status EncryptNewAccdb(std::span<std::vector<std::byte>> pages, std::string_view password,
                       AccdbEncryption scheme = AccdbEncryption::kAgile);

}  // namespace jet::file

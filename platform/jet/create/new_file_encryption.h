#pragma once
// A new .accdb protected by a database password, as Access protects one:
// Agile encryption (AES-256, SHA-512) by default, or one of the binary schemes
// older Access versions wrote; fresh salts, the provider block at 0x299 and
// the db_key in the header, and every page but the header page encrypted by
// the same cipher the pager uses for later writes.

#include <span>
#include <string_view>
#include <vector>

#include "platform/jet/crypto/page_cipher.h"
#include "platform/jet/public/create.h"
#include "platform/jet/public/result.h"

namespace jet::create {

// Stores `made` in the header page `pages[0]` (unmasked): the db_key and, when
// there is one, the provider block at 0x299; then encrypts every other page in
// place with the cipher those parameters and `password` give.
Status EncryptPages(std::span<std::vector<std::byte>> pages, const crypto::NewEncryption& made, std::string_view password);

// `pages[0]` is the header page, unmasked; the others are encrypted in place.
// kInvalidValue for an empty password.
Status EncryptNewAccdb(std::span<std::vector<std::byte>> pages, std::string_view password,
                       AccdbEncryption scheme = AccdbEncryption::kAgile);

}  // namespace jet::create

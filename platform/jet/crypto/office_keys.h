#pragma once
// Key derivations of the Office encryption schemes that protect .accdb pages.
// "block" is the per-page key material: the header's db_key XOR the page
// number, 4 bytes little-endian (block 0 for the password verifier).
//
//   RC4 CryptoAPI   H0 = SHA1(salt ‖ password); key = SHA1(H0 ‖ block), cut to
//                   the key size; a 40-bit key is padded with zeros to 128 bits.
//   Standard (AES)  H0 = SHA1(salt ‖ password); Hn = SHA1(i ‖ Hn-1) 50,000 times;
//                   F = SHA1(Hn ‖ block); key = SHA1(F ^ 0x36…) ‖ SHA1(F ^ 0x5C…),
//                   cut to the key size; pages AES-ECB.
//   Agile           Hn as above with the descriptor's hash, salt and spin count;
//                   key = H(Hn ‖ block constant), cut or padded with 0x36; pages
//                   AES-CBC under the file's secret key with IV = H(keyData salt ‖
//                   block), cut or padded with 0x36.
// Passwords are UTF-16LE, at most 255 characters.

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/jet/crypto/crypto.h"

namespace jet::crypto {

using crypto::Bytes;
using crypto::ByteView;
using crypto::HashAlgorithm;

inline constexpr int kStandardSpinCount = 50000;
inline constexpr size_t kMaxPasswordCharacters = 255;

// The password as the schemes hash it: UTF-16LE, cut at 255 characters.
Bytes PasswordBytes(std::string_view utf8);

// The 4-byte block for a page (db_key XOR page number, little-endian).
std::array<uint8_t, 4> PageBlock(uint32_t db_key, uint32_t page);
std::array<uint8_t, 4> BlockNumber(uint32_t n);

// H(salt ‖ password), then `spin` rounds of H(i ‖ previous).
Bytes IteratedHash(HashAlgorithm hash, ByteView salt, ByteView password, int spin);

Bytes Rc4CryptoApiKey(crypto::Hasher& sha1, ByteView h0, ByteView block, uint32_t key_bits);
Bytes StandardAesKey(crypto::Hasher& sha1, ByteView iterated, ByteView block, uint32_t key_bits);
Bytes AgileKey(crypto::Hasher& hasher, ByteView iterated, ByteView block, uint32_t key_bits);
Bytes AgileIv(crypto::Hasher& hasher, ByteView salt, ByteView block, size_t block_size);

// The block constants of the Agile password key encryptor.
inline constexpr uint8_t kVerifierInputBlock[8] = {0xfe, 0xa7, 0xd2, 0x76, 0x3b, 0x4b, 0x9e, 0x79};
inline constexpr uint8_t kVerifierValueBlock[8] = {0xd7, 0xaa, 0x0f, 0x6d, 0x30, 0x61, 0x34, 0x4e};
inline constexpr uint8_t kKeyValueBlock[8] = {0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6};

}  // namespace jet::crypto

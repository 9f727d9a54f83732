#include "platform/jet/create/new_file_encryption.h"

#include <cstring>

#include "platform/jet/format/bytes.h"
#include "platform/jet/format/header.h"

namespace jet::create {

using crypto::NewAgileEncryption;
using crypto::NewBinaryEncryption;
using crypto::NewEncryption;
using crypto::OpenPageCipher;
namespace {

// The block ends before the table the header keeps at 0xE00.
constexpr size_t kBlockLimit = 0xE00 - format::kEncryptionBlockOffset - 2;

}  // namespace

Status EncryptPages(std::span<std::vector<std::byte>> pages, const NewEncryption& made, std::string_view password) {
  if (pages.empty() || pages[0].size() != format::kPageSize)
    return MakeError(ErrorCode::kInvalidValue, "a database needs its header page");
  if (made.block.size() > kBlockLimit)
    return MakeError(ErrorCode::kInvalidValue, "the encryption parameters do not fit into the header page");

  format::MutableBytes header(pages[0]);
  format::Put32(header, format::kDbKeyOffset, made.db_key);
  if (!made.block.empty()) {
    format::Put16(header, format::kEncryptionBlockOffset, static_cast<uint16_t>(made.block.size()));
    std::memcpy(header.data() + format::kEncryptionBlockOffset + 2, made.block.data(), made.block.size());
  }

  JET_ASSIGN_OR_RETURN(decoded, format::DecodeHeader(header));
  JET_ASSIGN_OR_RETURN(cipher, OpenPageCipher(decoded, header, password));
  if (!cipher) return MakeError(ErrorCode::kCorruption, "the new encryption parameters were not recognised");
  std::vector<std::byte> plain(format::kPageSize);
  for (size_t page = 1; page < pages.size(); ++page) {
    plain.assign(pages[page].begin(), pages[page].end());
    JET_TRY(cipher->Encrypt(static_cast<uint32_t>(page), plain, pages[page]));
  }
  return {};
}

Status EncryptNewAccdb(std::span<std::vector<std::byte>> pages, std::string_view password, AccdbEncryption scheme) {
  if (password.empty()) return MakeError(ErrorCode::kInvalidValue, "an encrypted database needs a password");
  using crypto::BinaryScheme;
  Result<NewEncryption> made = scheme == AccdbEncryption::kRc4CryptoApi ? NewBinaryEncryption(password, BinaryScheme::kRc4CryptoApi, 128)
                               : scheme == AccdbEncryption::kStandardAes ? NewBinaryEncryption(password, BinaryScheme::kStandardAes, 128)
                               : scheme == AccdbEncryption::kCryptoApiAes ? NewBinaryEncryption(password, BinaryScheme::kCryptoApiAes, 256)
                                                                          : NewAgileEncryption(password);
  if (!made) return made.error();
  return EncryptPages(pages, *made, password);
}

}  // namespace jet::create

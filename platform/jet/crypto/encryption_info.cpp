#include "platform/jet/crypto/encryption_info.h"

#include <fmt/format.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cctype>

#include "platform/jet/crypto/office_keys.h"

namespace jet::crypto {
namespace {

constexpr uint32_t kAgileReserved = 0x40;
constexpr size_t kEncryptionHeaderFixed = 32;  // the header's fields before the CSP name
constexpr size_t kSaltSize = 16;
constexpr size_t kVerifierSize = 16;

constexpr char kEncryptionNs[] = "http://schemas.microsoft.com/office/2006/encryption";
constexpr char kPasswordNs[] = "http://schemas.microsoft.com/office/2006/keyEncryptor/password";
constexpr char kCertificateNs[] = "http://schemas.microsoft.com/office/2006/keyEncryptor/certificate";

uint32_t Get32(ByteView b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t Get16(ByteView b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
void Put32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

Error Damaged(const std::string& what) {
  return MakeError(ErrorCode::kCorruption,
                   "The database's encryption parameters (in its header page) are damaged: " + what + ".");
}

Error Unsupported(const std::string& scheme) {
  return MakeError(ErrorCode::kNotSupported,
                   fmt::format("The database is protected by a database password with {}, which this program "
                               "cannot read; remove the database password in Access first.",
                               scheme));
}

std::string Lower(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) out += c < 0x80 ? static_cast<char>(std::tolower(static_cast<int>(c))) : '?';
  return out;
}

// 128, 192 or 256 for an AES AlgID, else 0.
uint32_t AesBits(uint32_t alg_id) {
  return alg_id == kAlgAes128 ? 128 : alg_id == kAlgAes192 ? 192 : alg_id == kAlgAes256 ? 256 : 0;
}

Result<Info> ParseBinary(ByteView b, uint16_t major, uint16_t minor) {
  if (b.size() < 12) return Damaged("the encryption header is cut short");
  BinaryInfo info;
  info.major = major;
  info.minor = minor;
  info.flags = Get32(b, 4);
  uint32_t header_size = Get32(b, 8);
  if (header_size < kEncryptionHeaderFixed || header_size > b.size() - 12)
    return Damaged("the encryption header has an impossible size");
  ByteView h = b.subspan(12, header_size);
  info.flags = Get32(h, 0);
  info.alg_id = Get32(h, 8);
  info.alg_id_hash = Get32(h, 12);
  info.stored_key_bits = Get32(h, 16);
  info.provider_type = Get32(h, 20);
  for (size_t at = kEncryptionHeaderFixed; at + 1 < h.size(); at += 2) {
    char16_t c = Get16(h, at);
    if (c == 0) break;
    info.csp_name += c;
  }
  // Which scheme: decided by flags and AlgID together, nothing else accepted.
  auto unknown = [&info] {
    return Unsupported(fmt::format("an unknown Office encryption (version {}.{}, flags 0x{:02X}, AlgID 0x{:04X})",
                                   info.major, info.minor, info.flags, info.alg_id));
  };
  const bool crypto_api = (info.flags & kFlagCryptoApi) != 0;
  const bool aes_flag = (info.flags & kFlagAes) != 0;
  const uint32_t aes_bits = AesBits(info.alg_id);
  if (info.flags & 0x10) return Unsupported("Office extensible encryption");
  if (!crypto_api) return unknown();
  if (aes_flag && (aes_bits != 0 || info.alg_id == 0)) {
    info.scheme = BinaryScheme::kStandardAes;
    if (info.alg_id == 0) info.alg_id = kAlgAes128;
  } else if (!aes_flag && (info.alg_id == kAlgRc4 || info.alg_id == 0)) {
    info.scheme = BinaryScheme::kRc4CryptoApi;
    info.alg_id = kAlgRc4;
  } else if (!aes_flag && aes_bits != 0) {
    info.scheme = BinaryScheme::kCryptoApiAes;
  } else {
    return unknown();
  }
  if (info.alg_id_hash != 0 && info.alg_id_hash != kAlgSha1)
    return Unsupported(fmt::format("Office encryption hashing with algorithm 0x{:04X} (version {}.{}, flags 0x{:02X}, "
                                   "AlgID 0x{:04X})",
                                   info.alg_id_hash, info.major, info.minor, info.flags, info.alg_id));
  if (info.aes()) {
    uint32_t bits = AesBits(info.alg_id);
    if (info.stored_key_bits != 0 && info.stored_key_bits != bits) return Damaged("the AES key size contradicts its algorithm");
    info.key_bits = bits;
  } else {
    info.key_bits = info.stored_key_bits;
    if (info.key_bits == 0) {
      // No size stored: the provider decides; the "Base" providers give 40 bits.
      std::string csp = Lower(info.csp_name);
      info.key_bits = csp.empty() || csp.find(" base ") != std::string::npos ? 40 : 128;
    }
    if (info.key_bits < 40 || info.key_bits > 128 || info.key_bits % 8 != 0)
      return Damaged(fmt::format("an RC4 key of {} bits", info.key_bits));
  }
  size_t v = 12 + header_size;
  size_t hash_length = info.aes() ? 32 : 20;
  if (b.size() < v + 4 + kSaltSize + kVerifierSize + 4 + hash_length) return Damaged("the password verifier is cut short");
  if (Get32(b, v) != kSaltSize) return Damaged("the salt is not 16 bytes");
  info.salt.assign(b.begin() + v + 4, b.begin() + v + 4 + kSaltSize);
  size_t at = v + 4 + kSaltSize;
  info.encrypted_verifier.assign(b.begin() + at, b.begin() + at + kVerifierSize);
  at += kVerifierSize;
  info.verifier_hash_size = Get32(b, at);
  if (info.verifier_hash_size != 20) return Damaged("the verifier hash is not a SHA-1 hash");
  at += 4;
  info.encrypted_verifier_hash.assign(b.begin() + at, b.begin() + at + hash_length);
  return Info(std::move(info));
}

bool Base64Attribute(const pugi::xml_node& node, const char* name, Bytes* out) {
  pugi::xml_attribute a = node.attribute(name);
  return a && crypto::Base64Decode(a.value(), out);
}

// Local name of an element, without its namespace prefix.
std::string_view LocalName(const pugi::xml_node& node) {
  std::string_view name = node.name();
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(const pugi::xml_node& parent, std::string_view local) {
  for (pugi::xml_node c : parent.children())
    if (LocalName(c) == local) return c;
  return {};
}

Result<Info> ParseAgile(ByteView b) {
  if (b.size() < 8 || Get32(b, 4) != kAgileReserved) return Damaged("the Agile descriptor has no reserved value 0x40");
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(b.data() + 8, b.size() - 8);
  if (!parsed) return Damaged(std::string("its XML descriptor cannot be read (") + parsed.description() + ")");
  pugi::xml_node encryption = doc.document_element();
  pugi::xml_node key_data = Child(encryption, "keyData");
  pugi::xml_node encryptors = Child(encryption, "keyEncryptors");
  if (LocalName(encryption) != "encryption" || !key_data || !encryptors) return Damaged("its XML descriptor is incomplete");
  pugi::xml_node encrypted_key;
  size_t count = 0;
  for (pugi::xml_node e : encryptors.children()) {
    if (LocalName(e) != "keyEncryptor") continue;
    ++count;
    if (std::string_view(e.attribute("uri").value()) == kPasswordNs) encrypted_key = Child(e, "encryptedKey");
  }
  if (!encrypted_key || count != 1) return Unsupported("Office agile encryption by certificate");

  AgileInfo info;
  auto check_cipher = [](const pugi::xml_node& n) {
    return std::string_view(n.attribute("cipherAlgorithm").value()) == "AES" &&
           std::string_view(n.attribute("cipherChaining").value()) == "ChainingModeCBC";
  };
  if (!check_cipher(key_data) || !check_cipher(encrypted_key))
    return Unsupported(fmt::format("Office agile encryption using {} ({})", key_data.attribute("cipherAlgorithm").value(),
                                   key_data.attribute("cipherChaining").value()));
  if (!crypto::ParseHashAlgorithm(key_data.attribute("hashAlgorithm").value(), &info.data_hash) ||
      !crypto::ParseHashAlgorithm(encrypted_key.attribute("hashAlgorithm").value(), &info.hash))
    return Unsupported(fmt::format("Office agile encryption hashing with {}", key_data.attribute("hashAlgorithm").value()));
  info.data_block_size = key_data.attribute("blockSize").as_uint();
  info.data_key_bits = key_data.attribute("keyBits").as_uint();
  info.block_size = encrypted_key.attribute("blockSize").as_uint();
  info.key_bits = encrypted_key.attribute("keyBits").as_uint();
  info.spin_count = encrypted_key.attribute("spinCount").as_uint();
  auto aes_bits = [](uint32_t bits) { return bits == 128 || bits == 192 || bits == 256; };
  if (info.data_block_size != 16 || info.block_size != 16 || !aes_bits(info.data_key_bits) || !aes_bits(info.key_bits))
    return Damaged("its AES block or key size is not valid");
  if (info.spin_count > 10'000'000) return Damaged("its spin count is beyond 10,000,000");
  if (!Base64Attribute(key_data, "saltValue", &info.data_salt) || !Base64Attribute(encrypted_key, "saltValue", &info.salt) ||
      !Base64Attribute(encrypted_key, "encryptedVerifierHashInput", &info.encrypted_verifier_input) ||
      !Base64Attribute(encrypted_key, "encryptedVerifierHashValue", &info.encrypted_verifier_value) ||
      !Base64Attribute(encrypted_key, "encryptedKeyValue", &info.encrypted_key_value))
    return Damaged("a salt or encrypted key in its XML descriptor is missing or not Base64");
  if (info.salt.size() < 16 || info.data_salt.size() < 16 || info.encrypted_key_value.size() < info.data_key_bits / 8 ||
      info.encrypted_key_value.size() % 16 != 0 || info.encrypted_verifier_input.size() % 16 != 0 ||
      info.encrypted_verifier_value.size() % 16 != 0 || info.encrypted_verifier_value.size() < crypto::HashSize(info.hash))
    return Damaged("a salt or encrypted key in its XML descriptor has the wrong length");
  return Info(std::move(info));
}

}  // namespace

int BinaryInfo::spin_count() const { return scheme == BinaryScheme::kStandardAes ? crypto::kStandardSpinCount : 0; }

Result<Info> Parse(ByteView b) {
  if (b.size() < 4) return Damaged("the block is shorter than its version");
  uint16_t major = Get16(b, 0), minor = Get16(b, 2);
  if (major == 4 && minor == 4) return ParseAgile(b);
  if ((major == 2 || major == 3 || major == 4) && minor == 2) return ParseBinary(b, major, minor);
  if ((major == 3 || major == 4) && minor == 3) return Unsupported("Office extensible encryption");
  if (major == 1 && minor == 1) return Unsupported("Office RC4 encryption (version 1.1)");
  return Unsupported(fmt::format("an unknown Office encryption (version {}.{})", major, minor));
}

Bytes Build(const BinaryInfo& info) {
  Bytes header;
  Put32(header, info.flags);
  Put32(header, 0);  // size extra
  Put32(header, info.alg_id);
  Put32(header, info.alg_id_hash);
  Put32(header, info.stored_key_bits);
  Put32(header, info.provider_type);
  Put32(header, 0);
  Put32(header, 0);
  for (char16_t c : info.csp_name) Put16(header, c);
  Put16(header, 0);

  Bytes out;
  Put16(out, info.major);
  Put16(out, info.minor);
  Put32(out, info.flags);
  Put32(out, static_cast<uint32_t>(header.size()));
  out.insert(out.end(), header.begin(), header.end());
  Put32(out, static_cast<uint32_t>(info.salt.size()));
  out.insert(out.end(), info.salt.begin(), info.salt.end());
  out.insert(out.end(), info.encrypted_verifier.begin(), info.encrypted_verifier.end());
  Put32(out, info.verifier_hash_size);
  out.insert(out.end(), info.encrypted_verifier_hash.begin(), info.encrypted_verifier_hash.end());
  return out;
}

Bytes Build(const AgileInfo& info) {
  // Laid out as Access writes it: one line of XML, keyData first.
  auto cipher = [](uint32_t salt_size, uint32_t block, uint32_t bits, crypto::HashAlgorithm hash) {
    return fmt::format(R"(saltSize="{}" blockSize="{}" keyBits="{}" hashSize="{}" cipherAlgorithm="AES" )"
                       R"(cipherChaining="ChainingModeCBC" hashAlgorithm="{}")",
                       salt_size, block, bits, crypto::HashSize(hash), crypto::HashName(hash));
  };
  std::string xml = fmt::format(
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
      "<encryption xmlns=\"{}\" xmlns:p=\"{}\" xmlns:c=\"{}\">"
      "<keyData {} saltValue=\"{}\"/>"
      "<keyEncryptors><keyEncryptor uri=\"{}\">"
      "<p:encryptedKey spinCount=\"{}\" {} saltValue=\"{}\" encryptedVerifierHashInput=\"{}\" "
      "encryptedVerifierHashValue=\"{}\" encryptedKeyValue=\"{}\"/>"
      "</keyEncryptor></keyEncryptors></encryption>",
      kEncryptionNs, kPasswordNs, kCertificateNs,
      cipher(static_cast<uint32_t>(info.data_salt.size()), info.data_block_size, info.data_key_bits, info.data_hash),
      crypto::Base64Encode(info.data_salt), kPasswordNs, info.spin_count,
      cipher(static_cast<uint32_t>(info.salt.size()), info.block_size, info.key_bits, info.hash),
      crypto::Base64Encode(info.salt), crypto::Base64Encode(info.encrypted_verifier_input),
      crypto::Base64Encode(info.encrypted_verifier_value), crypto::Base64Encode(info.encrypted_key_value));
  Bytes out;
  Put16(out, 4);
  Put16(out, 4);
  Put32(out, kAgileReserved);
  out.insert(out.end(), xml.begin(), xml.end());
  return out;
}

}  // namespace jet::crypto

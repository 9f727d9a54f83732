#include "platform/jet/crypto/crypto.h"

#include <fmt/format.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cctype>
#include <mutex>

namespace jet::crypto {
namespace {

// OpenSSL 3 keeps RC4 in its legacy provider. Loading any provider explicitly
// stops the default one from loading by itself, so both are loaded here, once,
// before the first cipher is fetched.
void LoadProviders() {
  static std::once_flag once;
  std::call_once(once, [] {
    OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER_load(nullptr, "default");
  });
}

std::string OpenSslError() {
  unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "unknown error";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

const EVP_MD* Md(HashAlgorithm algorithm) {
  switch (algorithm) {
    case HashAlgorithm::kSha1: return EVP_sha1();
    case HashAlgorithm::kSha256: return EVP_sha256();
    case HashAlgorithm::kSha384: return EVP_sha384();
    case HashAlgorithm::kSha512: return EVP_sha512();
  }
  return EVP_sha1();
}

}  // namespace

bool ParseHashAlgorithm(std::string_view name, HashAlgorithm* out) {
  std::string n;
  for (char c : name)
    if (c != '-') n += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (n == "SHA1") *out = HashAlgorithm::kSha1;
  else if (n == "SHA256") *out = HashAlgorithm::kSha256;
  else if (n == "SHA384") *out = HashAlgorithm::kSha384;
  else if (n == "SHA512") *out = HashAlgorithm::kSha512;
  else return false;
  return true;
}

const char* HashName(HashAlgorithm algorithm) {
  switch (algorithm) {
    case HashAlgorithm::kSha1: return "SHA1";
    case HashAlgorithm::kSha256: return "SHA256";
    case HashAlgorithm::kSha384: return "SHA384";
    case HashAlgorithm::kSha512: return "SHA512";
  }
  return "SHA1";
}

size_t HashSize(HashAlgorithm algorithm) { return static_cast<size_t>(EVP_MD_get_size(Md(algorithm))); }

struct Hasher::State {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  const EVP_MD* md = nullptr;
  ~State() { EVP_MD_CTX_free(ctx); }
};

Hasher::Hasher(HashAlgorithm algorithm) : state_(std::make_unique<State>()) {
  state_->md = Md(algorithm);
  size_ = static_cast<size_t>(EVP_MD_get_size(state_->md));
}

Hasher::~Hasher() = default;

void Hasher::HashInto(std::initializer_list<ByteView> parts, uint8_t* out) {
  // Digests of memory never fail short of running out of it.
  EVP_DigestInit_ex2(state_->ctx, state_->md, nullptr);
  for (ByteView part : parts) EVP_DigestUpdate(state_->ctx, part.data(), part.size());
  unsigned int n = 0;
  EVP_DigestFinal_ex(state_->ctx, out, &n);
}

Bytes Hasher::Hash(std::initializer_list<ByteView> parts) {
  Bytes out(size_);
  HashInto(parts, out.data());
  return out;
}

struct Cipher::State {
  Kind kind;
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_CIPHER* rc4 = nullptr;
  EVP_CIPHER* aes[3] = {};  // 128, 192, 256-bit keys
  ~State() {
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(rc4);
    for (EVP_CIPHER* c : aes) EVP_CIPHER_free(c);
  }
};

Result<std::unique_ptr<Cipher>> Cipher::Make(Kind kind) {
  LoadProviders();
  auto state = std::make_unique<State>();
  state->kind = kind;
  if (!state->ctx) return MakeError(ErrorCode::kIoError, "OpenSSL cannot make a cipher context: " + OpenSslError());
  if (kind == Kind::kRc4) {
    state->rc4 = EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
    if (!state->rc4)
      return MakeError(ErrorCode::kNotSupported,
                       "The RC4 cipher is not available from OpenSSL (its legacy provider cannot be loaded): " +
                           OpenSslError());
  } else {
    const char* mode = kind == Kind::kAesEcb ? "ECB" : "CBC";
    const int bits[3] = {128, 192, 256};
    for (int i = 0; i < 3; ++i) {
      state->aes[i] = EVP_CIPHER_fetch(nullptr, fmt::format("AES-{}-{}", bits[i], mode).c_str(), nullptr);
      if (!state->aes[i])
        return MakeError(ErrorCode::kNotSupported, "The AES cipher is not available from OpenSSL: " + OpenSslError());
    }
  }
  return std::unique_ptr<Cipher>(new Cipher(std::move(state)));
}

Cipher::Cipher(std::unique_ptr<State> state) : state_(std::move(state)) {}
Cipher::~Cipher() = default;

Status Cipher::Run(bool encrypt, ByteView key, ByteView iv, ByteView in, std::span<uint8_t> out) {
  EVP_CIPHER_CTX* ctx = state_->ctx;
  const EVP_CIPHER* cipher = state_->rc4;
  if (state_->kind != Kind::kRc4) {
    if (key.size() != 16 && key.size() != 24 && key.size() != 32)
      return MakeError(ErrorCode::kCorruption, fmt::format("An AES key of {} bytes is not valid.", key.size()));
    cipher = state_->aes[(key.size() - 16) / 8];
    if (in.size() % 16 != 0)
      return MakeError(ErrorCode::kCorruption, "AES data must be a whole number of 16-byte blocks.");
    if (state_->kind == Kind::kAesCbc && iv.size() != 16)
      return MakeError(ErrorCode::kCorruption, "An AES initialisation vector must be 16 bytes.");
  } else if (key.empty()) {
    return MakeError(ErrorCode::kCorruption, "An RC4 key cannot be empty.");
  }
  int enc = encrypt ? 1 : 0;
  bool ok = EVP_CipherInit_ex2(ctx, cipher, nullptr, nullptr, enc, nullptr) == 1;
  // RC4 keys have any length (Jet's are 4 bytes); the context must be told first.
  if (ok && state_->kind == Kind::kRc4) ok = EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size())) == 1;
  if (ok)
    ok = EVP_CipherInit_ex2(ctx, nullptr, key.data(), state_->kind == Kind::kAesCbc ? iv.data() : nullptr, enc,
                            nullptr) == 1;
  if (ok) ok = EVP_CIPHER_CTX_set_padding(ctx, 0) == 1;
  int n = 0, tail = 0;
  if (ok) ok = EVP_CipherUpdate(ctx, out.data(), &n, in.data(), static_cast<int>(in.size())) == 1;
  if (ok) ok = EVP_CipherFinal_ex(ctx, out.data() + n, &tail) == 1;
  if (!ok || static_cast<size_t>(n + tail) != in.size())
    return MakeError(ErrorCode::kIoError, "OpenSSL could not run a cipher: " + OpenSslError());
  return {};
}

Status Cipher::Encrypt(ByteView key, ByteView iv, std::span<uint8_t> data) {
  return Run(true, key, iv, data, data);
}

Status Cipher::Decrypt(ByteView key, ByteView iv, std::span<uint8_t> data) {
  return Run(false, key, iv, data, data);
}

Result<Bytes> RandomBytes(size_t count) {
  Bytes out(count);
  if (RAND_bytes(out.data(), static_cast<int>(count)) != 1)
    return MakeError(ErrorCode::kIoError, "OpenSSL could not make random bytes: " + OpenSslError());
  return out;
}

bool Base64Decode(std::string_view text, Bytes* out) {
  std::string clean;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c))) clean += c;
  if (clean.size() % 4 != 0) return false;
  out->assign(clean.size() / 4 * 3 + 1, 0);
  int n = EVP_DecodeBlock(out->data(), reinterpret_cast<const unsigned char*>(clean.data()),
                          static_cast<int>(clean.size()));
  if (n < 0) return false;
  // EVP_DecodeBlock keeps the zero bytes that '=' padding stands for.
  size_t padding = 0;
  if (!clean.empty() && clean.back() == '=') ++padding;
  if (clean.size() > 1 && clean[clean.size() - 2] == '=') ++padding;
  out->resize(static_cast<size_t>(n) - padding);
  return true;
}

std::string Base64Encode(ByteView bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes.data(), static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

Bytes FixLength(ByteView bytes, size_t length, uint8_t pad) {
  Bytes out(length, pad);
  std::copy_n(bytes.begin(), std::min(length, bytes.size()), out.begin());
  return out;
}

}  // namespace jet::crypto

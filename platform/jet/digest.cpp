#include "platform/jet/public/digest.h"

#include "platform/jet/crypto/crypto.h"

namespace jet {

Sha256::Sha256() : hasher_(std::make_unique<crypto::Hasher>(crypto::HashAlgorithm::kSha256)) {}
Sha256::~Sha256() = default;

std::array<uint8_t, 32> Sha256::Of(std::string_view bytes) {
  std::array<uint8_t, 32> digest{};
  hasher_->HashInto({crypto::ByteView(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())}, digest.data());
  return digest;
}

}  // namespace jet

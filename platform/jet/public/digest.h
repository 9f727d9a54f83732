#pragma once
// SHA-256 for callers that compare what they read (pelmora-convert --verify
// digests rows); one object hashes many inputs without setting up each time.

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

namespace jet {

namespace crypto {
class Hasher;
}

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  std::array<uint8_t, 32> Of(std::string_view bytes);

 private:
  std::unique_ptr<crypto::Hasher> hasher_;
};

}  // namespace jet

#include "platform/jet/format/properties.h"

#include <cstdint>

#include "platform/jet/format/text.h"

namespace jet::format {
namespace {

constexpr uint16_t kNamesChunk = 0x0080;
constexpr uint16_t kColumnChunk = 0x0001;
constexpr uint8_t kBooleanProperty = 0x01;
constexpr uint8_t kDdlProperty = 0x01;

class Writer {
 public:
  void U8(uint8_t v) { out_.push_back(static_cast<std::byte>(v)); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void Units(const std::u16string& s) {
    for (char16_t c : s) U16(c);
  }
  size_t size() const { return out_.size(); }
  // Fills in a u32 length written earlier as a placeholder at `at`.
  void PatchU32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<std::byte>(v >> (8 * i));
  }
  std::vector<std::byte> Take() { return std::move(out_); }

 private:
  std::vector<std::byte> out_;
};

}  // namespace

std::vector<std::byte> RequiredColumnProperties(const std::vector<std::string>& required_columns) {
  if (required_columns.empty()) return {};
  Writer w;
  for (char c : std::string("MR2", 4)) w.U8(static_cast<uint8_t>(c));
  const std::u16string required = u"Required";
  w.U32(static_cast<uint32_t>(6 + 2 + 2 * required.size()));
  w.U16(kNamesChunk);
  w.U16(static_cast<uint16_t>(2 * required.size()));
  w.Units(required);
  for (const std::string& column : required_columns) {
    std::u16string name = Utf8ToUtf16(column);
    size_t start = w.size();
    w.U32(0);  // the chunk's length, once known
    w.U16(kColumnChunk);
    w.U32(static_cast<uint32_t>(6 + 2 * name.size()));
    w.U16(static_cast<uint16_t>(2 * name.size()));
    w.Units(name);
    w.U16(9);  // the property: 8 bytes of header and a 1-byte value
    w.U8(kDdlProperty);
    w.U8(kBooleanProperty);
    w.U16(0);  // "Required", the first name
    w.U16(1);
    w.U8(0x01);
    w.PatchU32(start, static_cast<uint32_t>(w.size() - start));
  }
  return w.Take();
}

}  // namespace jet::format

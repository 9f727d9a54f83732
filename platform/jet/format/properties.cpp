#include "platform/jet/format/properties.h"

#include <algorithm>

#include "platform/jet/format/text.h"

namespace jet::format {
namespace {

constexpr uint16_t kNamesChunk = 0x0080;
constexpr uint16_t kObjectChunk = 0x0000;
constexpr uint16_t kColumnChunk = 0x0001;

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
  void Bytes(const std::vector<std::byte>& b) { out_.insert(out_.end(), b.begin(), b.end()); }
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

std::vector<std::byte> BuildPropertyList(const std::vector<PropertyBlock>& blocks) {
  std::vector<std::string> names;
  for (const auto& block : blocks)
    for (const auto& p : block.properties)
      if (std::find(names.begin(), names.end(), p.name) == names.end()) names.push_back(p.name);

  Writer w;
  for (char c : std::string("MR2", 4)) w.U8(static_cast<uint8_t>(c));
  size_t start = w.size();
  w.U32(0);  // each chunk's length, once known
  w.U16(kNamesChunk);
  for (const std::string& name : names) {
    std::u16string units = Utf8ToUtf16(name);
    w.U16(static_cast<uint16_t>(2 * units.size()));
    w.Units(units);
  }
  w.PatchU32(start, static_cast<uint32_t>(w.size() - start));

  for (const auto& block : blocks) {
    std::u16string name = Utf8ToUtf16(block.name);
    start = w.size();
    w.U32(0);
    w.U16(block.name.empty() ? kObjectChunk : kColumnChunk);
    w.U32(static_cast<uint32_t>(6 + 2 * name.size()));
    w.U16(static_cast<uint16_t>(2 * name.size()));
    w.Units(name);
    for (const auto& p : block.properties) {
      auto index = std::find(names.begin(), names.end(), p.name) - names.begin();
      w.U16(static_cast<uint16_t>(8 + p.value.size()));
      w.U8(p.ddl ? 1 : 0);
      w.U8(p.type);
      w.U16(static_cast<uint16_t>(index));
      w.U16(static_cast<uint16_t>(p.value.size()));
      w.Bytes(p.value);
    }
    w.PatchU32(start, static_cast<uint32_t>(w.size() - start));
  }
  return w.Take();
}

std::vector<std::byte> RequiredColumnProperties(const std::vector<std::string>& required_columns) {
  if (required_columns.empty()) return {};
  std::vector<PropertyBlock> blocks;
  for (const std::string& column : required_columns)
    blocks.push_back({column, {{"Required", kPropertyBoolean, true, {std::byte{0x01}}}}});
  return BuildPropertyList(blocks);
}

}  // namespace jet::format

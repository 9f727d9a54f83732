#include "platform/jet/format/properties.h"

#include <algorithm>

#include "platform/jet/format/bytes.h"
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

std::vector<std::byte> BuildColumnProperties(const std::vector<ColumnProperties>& columns) {
  std::vector<PropertyBlock> blocks;
  for (const auto& c : columns) {
    PropertyBlock block{c.column, {}};
    if (!c.default_value.empty()) {
      std::vector<std::byte> text;
      for (char16_t unit : Utf8ToUtf16(c.default_value)) {
        text.push_back(static_cast<std::byte>(unit & 0xFF));
        text.push_back(static_cast<std::byte>(unit >> 8));
      }
      block.properties.push_back({"DefaultValue", kPropertyMemo, true, std::move(text)});
    }
    if (c.required) block.properties.push_back({"Required", kPropertyBoolean, true, {std::byte{0x01}}});
    if (c.allow_zero_length)
      block.properties.push_back({"AllowZeroLength", kPropertyBoolean, true, {std::byte{0x01}}});
    if (!block.properties.empty()) blocks.push_back(std::move(block));
  }
  if (blocks.empty()) return {};
  return BuildPropertyList(blocks);
}

std::optional<std::vector<PropertyBlock>> ParsePropertyList(const std::vector<std::byte>& b) {
  auto u16 = [&](size_t at) { return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8); };
  auto u32 = [&](size_t at) { return static_cast<uint32_t>(u16(at)) | static_cast<uint32_t>(u16(at + 2)) << 16; };
  auto units = [&](size_t at, size_t bytes) {
    return Utf16LeToUtf8(ConstBytes(b).subspan(at, bytes));
  };
  if (b.size() < 4 || b[0] != std::byte{'M'} || b[1] != std::byte{'R'} || b[2] != std::byte{'2'}) return std::nullopt;
  std::vector<std::string> names;
  std::vector<PropertyBlock> blocks;
  size_t at = 4;
  while (at + 6 <= b.size()) {
    const uint32_t length = u32(at);
    const uint16_t type = u16(at + 4);
    if (length < 6 || at + length > b.size()) return std::nullopt;
    const size_t end = at + length;
    size_t p = at + 6;
    if (type == kNamesChunk) {
      while (p + 2 <= end) {
        const uint16_t n = u16(p);
        if (p + 2 + n > end) return std::nullopt;
        names.push_back(units(p + 2, n));
        p += 2 + n;
      }
    } else {
      if (p + 6 > end) return std::nullopt;
      const uint16_t name_bytes = u16(p + 4);
      if (p + 6 + name_bytes > end) return std::nullopt;
      PropertyBlock block{units(p + 6, name_bytes), {}};
      p += 6 + name_bytes;
      while (p + 8 <= end) {
        const uint16_t size = u16(p);
        const uint16_t index = u16(p + 4), value_bytes = u16(p + 6);
        if (size < 8 || p + size > end || p + 8 + value_bytes > end || index >= names.size()) return std::nullopt;
        Property property{names[index], static_cast<uint8_t>(b[p + 3]), b[p + 2] != std::byte{0}, {}};
        property.value.assign(b.begin() + p + 8, b.begin() + p + 8 + value_bytes);
        block.properties.push_back(std::move(property));
        p += size;
      }
      blocks.push_back(std::move(block));
    }
    at = end;
  }
  return blocks;
}

std::vector<std::byte> RequiredColumnProperties(const std::vector<std::string>& required_columns) {
  if (required_columns.empty()) return {};
  std::vector<PropertyBlock> blocks;
  for (const std::string& column : required_columns)
    blocks.push_back({column, {{"Required", kPropertyBoolean, true, {std::byte{0x01}}}}});
  return BuildPropertyList(blocks);
}

}  // namespace jet::format

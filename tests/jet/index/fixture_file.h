#pragma once
// A small, independent reader of Access files for the index tests: table
// definitions, rows and the MSysObjects catalogue, read straight from the
// file bytes (Jet 4 / ACE, 4096-byte pages, unencrypted pages only).

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/jet/public/value.h"
#include "tests/support/environment.h"

namespace jet::testing {

inline constexpr size_t kPage = 4096;

struct FixtureColumn {
  uint8_t type = 0;
  uint16_t number = 0, var_index = 0, fixed_offset = 0, length = 0;
  uint8_t flags = 0;
  uint16_t lcid = 0;
  uint8_t sort_version = 0;
  std::string name;
};

struct FixtureIndex {
  std::vector<std::pair<uint16_t, bool>> columns;  // column number, ascending
  uint32_t root = 0;
  uint8_t flags = 0;
};

struct FixtureTable {
  uint32_t page = 0;
  uint16_t max_columns = 0;
  std::vector<FixtureColumn> columns;
  std::vector<FixtureIndex> indexes;
  const FixtureColumn* Column(uint16_t number) const {
    for (const auto& c : columns) {
      if (c.number == number) return &c;
    }
    return nullptr;
  }
};

class FixtureFile {
 public:
  explicit FixtureFile(const std::string& path) : bytes_(testing_support::ReadBytes(path)) {}
  size_t PageCount() const { return bytes_.size() / kPage; }
  std::span<const std::byte> Page(uint32_t n) const {
    return {bytes_.data() + size_t{n} * kPage, kPage};
  }
  uint8_t U8(size_t at) const { return static_cast<uint8_t>(bytes_[at]); }
  uint16_t U16(size_t at) const { return static_cast<uint16_t>(U8(at) | U8(at + 1) << 8); }
  uint32_t U32(size_t at) const { return U16(at) | static_cast<uint32_t>(U16(at + 2)) << 16; }
  const std::vector<std::byte>& bytes() const { return bytes_; }

  std::optional<FixtureTable> Table(uint32_t page) const {
    if (page == 0 || page >= PageCount() || U8(size_t{page} * kPage) != 0x02) return std::nullopt;
    std::vector<uint8_t> b;
    auto append = [&](uint32_t p, size_t from) {
      for (size_t i = from; i < kPage; ++i) b.push_back(U8(size_t{p} * kPage + i));
    };
    append(page, 0);
    for (uint32_t next = U32(size_t{page} * kPage + 4), hops = 0; next && next < PageCount() && hops < 64;
         next = U32(size_t{next} * kPage + 4), ++hops) {
      append(next, 8);
    }
    auto u16 = [&](size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); };
    auto u32 = [&](size_t at) { return u16(at) | static_cast<uint32_t>(u16(at + 2)) << 16; };
    FixtureTable t;
    t.page = page;
    t.max_columns = u16(41);
    const uint16_t ncols = u16(45);
    const uint32_t nridx = u32(51);
    size_t o = 63 + 12 * nridx;
    for (uint16_t i = 0; i < ncols; ++i, o += 25) {
      FixtureColumn c;
      c.type = b[o];
      c.number = u16(o + 5);
      c.var_index = u16(o + 7);
      c.lcid = u16(o + 11);
      c.sort_version = b[o + 14];
      c.flags = b[o + 15];
      c.fixed_offset = u16(o + 21);
      c.length = u16(o + 23);
      t.columns.push_back(c);
    }
    for (auto& c : t.columns) {
      const uint16_t len = u16(o);
      c.name = Utf16ToUtf8(b.data() + o + 2, len);
      o += 2 + len;
    }
    for (uint32_t i = 0; i < nridx; ++i, o += 52) {
      FixtureIndex x;
      for (int k = 0; k < 10; ++k) {
        const uint16_t cn = u16(o + 4 + 3 * k);
        if (cn != 0xFFFF) x.columns.emplace_back(cn, (b[o + 6 + 3 * k] & 1) != 0);
      }
      x.root = u32(o + 38);
      x.flags = b[o + 46];
      t.indexes.push_back(x);
    }
    return t;
  }

  // The body of a row, following one overflow hop; nothing for deleted rows.
  std::optional<std::span<const uint8_t>> Row(uint32_t page, uint8_t row, int hops = 0) const {
    if (page == 0 || page >= PageCount() || U8(size_t{page} * kPage) != 0x01) return std::nullopt;
    const size_t base = size_t{page} * kPage;
    if (row >= U16(base + 12)) return std::nullopt;
    const uint16_t raw = U16(base + 14 + 2 * row);
    const size_t start = raw & 0x1FFF;
    const size_t end = row == 0 ? kPage : (U16(base + 14 + 2 * (row - 1)) & 0x1FFF);
    if ((raw & 0xC000) == 0xC000 || start >= end || end > kPage) return std::nullopt;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes_.data()) + base;
    if (raw & 0x4000) {
      if (hops > 0 || end - start < 4) return std::nullopt;
      return Row(U32(base + start) >> 8, data[start], hops + 1);
    }
    return std::span<const uint8_t>(data + start, end - start);
  }

  // One column's value from a row (Text, Long, Integer, Byte, Double, Date/Time, Currency, Yes/No,
  // Binary, GUID).
  Cell Value(const FixtureTable& /*table*/, const FixtureColumn& c, std::span<const uint8_t> r) const {
    auto u16 = [&](size_t at) { return static_cast<uint16_t>(r[at] | r[at + 1] << 8); };
    const uint16_t ncol = u16(0);
    const size_t nm = (ncol + 7) / 8;
    const bool present = c.number < ncol && (r[r.size() - nm + c.number / 8] >> (c.number % 8) & 1);
    if (c.type == 0x01) return Cell{present};
    if (!present) return Null{};
    std::span<const uint8_t> v;
    if (c.flags & 0x01) {
      v = r.subspan(2 + c.fixed_offset, c.length);
    } else {
      const size_t n = u16(r.size() - nm - 2);
      if (c.var_index >= n) return Null{};
      const size_t from = u16(r.size() - nm - 4 - 2 * c.var_index);
      const size_t to = u16(r.size() - nm - 4 - 2 * (c.var_index + 1));
      v = r.subspan(from, to - from);
    }
    int64_t i = 0;
    switch (c.type) {
      case 0x02: return Cell{int64_t{v[0]}};
      case 0x03: return Cell{int64_t{static_cast<int16_t>(v[0] | v[1] << 8)}};
      case 0x04:
        std::memcpy(&i, v.data(), 4);
        return Cell{int64_t{static_cast<int32_t>(i)}};
      case 0x05:
        std::memcpy(&i, v.data(), 8);
        return Cell{Money{i}};
      case 0x06: {
        float f;
        std::memcpy(&f, v.data(), 4);
        return Cell{double{f}};
      }
      case 0x07: case 0x08: {
        double d;
        std::memcpy(&d, v.data(), 8);
        if (c.type == 0x08) return Cell{DateTimeValue{d}};
        return Cell{d};
      }
      case 0x0A: return Cell{DecodeText(v)};
      case 0x09: return Cell{Bytes(v.begin(), v.end())};
      case 0x0F: {
        if (v.size() != 16) return Null{};
        Guid g;
        std::memcpy(g.bytes, v.data(), 16);
        return Cell{g};
      }
      default: return Null{};
    }
  }

  static std::string DecodeText(std::span<const uint8_t> v) {
    std::vector<uint8_t> utf16;
    if (v.size() >= 2 && v[0] == 0xFF && v[1] == 0xFE) {
      bool compressed = true;
      for (size_t i = 2; i < v.size();) {
        if (v[i] == 0) {
          compressed = !compressed;
          ++i;
        } else if (compressed) {
          utf16.push_back(v[i++]);
          utf16.push_back(0);
        } else if (i + 1 < v.size()) {
          utf16.push_back(v[i]);
          utf16.push_back(v[i + 1]);
          i += 2;
        } else {
          break;
        }
      }
    } else {
      utf16.assign(v.begin(), v.end());
    }
    return Utf16ToUtf8(utf16.data(), utf16.size());
  }

  static std::string Utf16ToUtf8(const uint8_t* p, size_t bytes) {
    std::string out;
    for (size_t i = 0; i + 1 < bytes; i += 2) {
      char32_t c = p[i] | p[i + 1] << 8;
      if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes) {
        const char32_t lo = p[i + 2] | p[i + 3] << 8;
        if (lo >= 0xDC00 && lo <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
          i += 2;
        }
      }
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
      } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
      } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return out;
  }

  // TDEF pages of the catalogue's tables (MSysObjects rows of type 1), MSysObjects included.
  std::vector<uint32_t> TablePages() const {
    std::vector<uint32_t> pages{2};
    auto catalog = Table(2);
    if (!catalog) return pages;
    const FixtureColumn *id = nullptr, *type = nullptr;
    for (const auto& c : catalog->columns) {
      if (c.name == "Id") id = &c;
      if (c.name == "Type") type = &c;
    }
    if (!id || !type) return pages;
    for (uint32_t p = 3; p < PageCount(); ++p) {
      const size_t base = size_t{p} * kPage;
      if (U8(base) != 0x01 || U32(base + 4) != 2) continue;
      for (uint16_t r = 0; r < U16(base + 12); ++r) {
        auto row = Row(p, static_cast<uint8_t>(r));
        if (!row || (U16(base + 14 + 2 * r) & 0x4000)) continue;
        const Cell t = Value(*catalog, *type, *row);
        const Cell i = Value(*catalog, *id, *row);
        if (std::holds_alternative<int64_t>(t) && std::get<int64_t>(t) == 1 && std::holds_alternative<int64_t>(i)) {
          const auto page = static_cast<uint32_t>(std::get<int64_t>(i) & 0xFFFFFF);
          if (page != 2 && page < PageCount()) pages.push_back(page);
        }
      }
    }
    return pages;
  }

 private:
  std::vector<std::byte> bytes_;
};

}  // namespace jet::testing

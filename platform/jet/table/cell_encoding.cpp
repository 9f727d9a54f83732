#include "platform/jet/table/cell_encoding.h"

#include <fmt/format.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/jet/format/numeric.h"
#include "platform/jet/format/text.h"

namespace jet::table {
namespace {

using format::ColumnDef;
using format::MutableBytes;
__extension__ typedef unsigned __int128 u128;
__extension__ typedef __int128 i128;

constexpr size_t kMaxCompressedUnits = 1024;  // longer memo texts are never compressed

Error Refuse(const ColumnDef& c, const Cell& cell, std::string_view why) {
  return MakeError(ErrorCode::kInvalidValue, fmt::format("the value {} does not fit column {} ({}): {}",
                                                         DescribeCell(cell), c.name, format::AccessTypeName(c), why));
}

// Rounds half to even, as Access rounds into integer columns.
double RoundHalfEven(double v) {
  double r = std::nearbyint(v);  // default rounding mode: to nearest, ties to even
  return r;
}

Result<int64_t> IntegerOf(const ColumnDef& c, const Cell& cell, int64_t lo, int64_t hi) {
  int64_t v = 0;
  if (auto* i = std::get_if<int64_t>(&cell)) {
    v = *i;
  } else if (auto* d = std::get_if<double>(&cell)) {
    if (!std::isfinite(*d)) return Refuse(c, cell, "not a finite number");
    double r = RoundHalfEven(*d);
    if (r < static_cast<double>(lo) || r > static_cast<double>(hi)) return Refuse(c, cell, "out of range");
    if (r >= 9.2233720368547758e18 || r < -9.2233720368547758e18) return Refuse(c, cell, "out of range");
    v = static_cast<int64_t>(r);
  } else if (auto* b = std::get_if<bool>(&cell)) {
    v = *b ? -1 : 0;  // Access's True
  } else {
    return Refuse(c, cell, "not a number");
  }
  if (v < lo || v > hi) return Refuse(c, cell, fmt::format("out of range {} to {}", lo, hi));
  return v;
}

Result<double> DoubleOf(const ColumnDef& c, const Cell& cell) {
  if (auto* d = std::get_if<double>(&cell)) {
    if (!std::isfinite(*d)) return Refuse(c, cell, "not a finite number");
    return *d;
  }
  if (auto* i = std::get_if<int64_t>(&cell)) return static_cast<double>(*i);
  if (auto* b = std::get_if<bool>(&cell)) return *b ? -1.0 : 0.0;
  return Refuse(c, cell, "not a number");
}

u128 Magnitude(const Decimal& d) { return (u128{d.hi} << 64) | (u128{d.mid} << 32) | d.lo; }

u128 Pow10(int n) {
  u128 p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

Result<Decimal> DecimalOf(const ColumnDef& c, const Cell& cell) {
  int precision = c.precision ? c.precision : 18;
  int scale = c.scale;
  if (precision > 28 || scale > precision) return Refuse(c, cell, "the column's precision is not supported");
  u128 magnitude = 0;
  bool negative = false;
  if (auto* d = std::get_if<Decimal>(&cell)) {
    magnitude = Magnitude(*d);
    negative = d->negative;
    if (d->scale < scale) {
      u128 factor = Pow10(scale - d->scale);
      if (magnitude > Pow10(29) / factor) return Refuse(c, cell, "too many digits");
      magnitude *= factor;
    } else if (d->scale > scale) {  // round half to even to the column's scale
      u128 factor = Pow10(d->scale - scale);
      u128 q = magnitude / factor, r = magnitude % factor;
      if (r * 2 > factor || (r * 2 == factor && (q & 1))) ++q;
      magnitude = q;
    }
  } else if (auto* i = std::get_if<int64_t>(&cell)) {
    negative = *i < 0;
    magnitude = negative ? static_cast<u128>(-static_cast<i128>(*i)) : static_cast<u128>(*i);
    if (magnitude > Pow10(29) / Pow10(scale)) return Refuse(c, cell, "too many digits");
    magnitude *= Pow10(scale);
  } else if (auto* f = std::get_if<double>(&cell)) {
    if (!std::isfinite(*f)) return Refuse(c, cell, "not a finite number");
    long double scaled = std::nearbyint(std::fabs(static_cast<long double>(*f)) * static_cast<long double>(Pow10(scale)));
    if (scaled >= 1e28L) return Refuse(c, cell, "too many digits");
    magnitude = static_cast<u128>(scaled);
    negative = *f < 0;
  } else {
    return Refuse(c, cell, "not a number");
  }
  if (magnitude >= Pow10(precision))
    return Refuse(c, cell, fmt::format("more than {} digits", precision));
  Decimal out;
  out.lo = static_cast<uint32_t>(magnitude);
  out.mid = static_cast<uint32_t>(magnitude >> 32);
  out.hi = static_cast<uint32_t>(magnitude >> 64);
  out.negative = negative && magnitude != 0;
  out.scale = static_cast<uint8_t>(scale);
  return out;
}

void PutFloat(MutableBytes out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  format::Put32(out, 0, bits);
}

bool IsAsciiWithoutNul(std::string_view s) {
  for (unsigned char ch : s)
    if (ch == 0 || ch >= 0x80) return false;
  return true;
}

}  // namespace

std::string DescribeCell(const Cell& cell) {
  struct Visitor {
    std::string operator()(const Null&) const { return "NULL"; }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(int64_t v) const { return std::to_string(v); }
    std::string operator()(double v) const { return fmt::format("{}", v); }
    std::string operator()(const Money& m) const { return format::MoneyText(m); }
    std::string operator()(const Decimal& d) const { return format::DecimalText(d); }
    std::string operator()(const DateTimeValue& d) const { return format::OleDateText(d.days); }
    std::string operator()(const Guid& g) const { return format::GuidText(g); }
    std::string operator()(const std::string& s) const {
      if (s.size() <= 40) return "'" + s + "'";
      size_t cut = 40;
      while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
      return "'" + s.substr(0, cut) + "...'";
    }
    std::string operator()(const Bytes& b) const { return fmt::format("({} bytes)", b.size()); }
  };
  return std::visit(Visitor{}, cell);
}

Result<bool> BooleanCell(const ColumnDef& c, const Cell& cell) {
  if (std::holds_alternative<Null>(cell)) return false;
  if (auto* b = std::get_if<bool>(&cell)) return *b;
  if (auto* i = std::get_if<int64_t>(&cell)) return *i != 0;
  if (auto* d = std::get_if<double>(&cell)) return *d != 0;
  return Refuse(c, cell, "not a Yes/No value");
}

Status EncodeFixedCell(const ColumnDef& c, const Cell& cell, MutableBytes out) {
  switch (c.type()) {
    case ColumnType::kByte: {
      JET_ASSIGN_OR_RETURN(v, IntegerOf(c, cell, 0, 255));
      format::Put8(out, 0, static_cast<uint8_t>(v));
      return {};
    }
    case ColumnType::kInteger: {
      JET_ASSIGN_OR_RETURN(v, IntegerOf(c, cell, INT16_MIN, INT16_MAX));
      format::Put16(out, 0, static_cast<uint16_t>(v));
      return {};
    }
    case ColumnType::kLong:
    case ColumnType::kComplex: {
      JET_ASSIGN_OR_RETURN(v, IntegerOf(c, cell, INT32_MIN, INT32_MAX));
      format::Put32(out, 0, static_cast<uint32_t>(v));
      return {};
    }
    case ColumnType::kBigInt: {
      JET_ASSIGN_OR_RETURN(v, IntegerOf(c, cell, INT64_MIN, INT64_MAX));
      format::Put64(out, 0, static_cast<uint64_t>(v));
      return {};
    }
    case ColumnType::kMoney: {
      int64_t scaled = 0;
      if (auto* m = std::get_if<Money>(&cell)) {
        scaled = m->scaled;
      } else if (auto* i = std::get_if<int64_t>(&cell)) {
        if (__builtin_mul_overflow(*i, int64_t{10000}, &scaled)) return Refuse(c, cell, "out of range");
      } else {
        JET_ASSIGN_OR_RETURN(d, DoubleOf(c, cell));
        long double s = std::nearbyint(static_cast<long double>(d) * 10000.0L);
        if (s >= 9223372036854775807.0L || s < -9223372036854775808.0L) return Refuse(c, cell, "out of range");
        scaled = static_cast<int64_t>(s);
      }
      format::Put64(out, 0, static_cast<uint64_t>(scaled));
      return {};
    }
    case ColumnType::kSingle: {
      JET_ASSIGN_OR_RETURN(d, DoubleOf(c, cell));
      if (std::fabs(d) > FLT_MAX) return Refuse(c, cell, "out of the range of a Single");
      PutFloat(out, static_cast<float>(d));
      return {};
    }
    case ColumnType::kDouble: {
      JET_ASSIGN_OR_RETURN(d, DoubleOf(c, cell));
      format::PutF64(out, 0, d);
      return {};
    }
    case ColumnType::kDateTime: {
      double days = 0;
      if (auto* t = std::get_if<DateTimeValue>(&cell)) {
        days = t->days;
      } else if (auto* d = std::get_if<double>(&cell)) {
        days = *d;
      } else {
        return Refuse(c, cell, "not a date");
      }
      // Access allows the years 100 to 9999.
      if (!std::isfinite(days) || days < -657434.0 || days >= 2958466.0)
        return Refuse(c, cell, "a date outside the years 100 to 9999");
      format::PutF64(out, 0, days);
      return {};
    }
    case ColumnType::kGuid: {
      auto* g = std::get_if<Guid>(&cell);
      if (!g) return Refuse(c, cell, "not a GUID");
      std::memcpy(out.data(), g->bytes, 16);
      return {};
    }
    case ColumnType::kNumeric: {
      if (out.size() < format::kDecimalSize) return Refuse(c, cell, "the column is too short for a decimal");
      JET_ASSIGN_OR_RETURN(d, DecimalOf(c, cell));
      format::EncodeDecimal(d, out.first(format::kDecimalSize));
      return {};
    }
    case ColumnType::kText: {  // fixed-length text: UTF-16 padded with spaces
      auto* s = std::get_if<std::string>(&cell);
      if (!s) return Refuse(c, cell, "not a text");
      std::u16string units = format::Utf8ToUtf16(*s);
      if (units.size() * 2 > out.size())
        return Refuse(c, cell, fmt::format("longer than {} characters", out.size() / 2));
      for (size_t i = 0; i < out.size() / 2; ++i) format::Put16(out, 2 * i, i < units.size() ? units[i] : u' ');
      return {};
    }
    default:
      return Refuse(c, cell, "the column type cannot be written");
  }
}

size_t AppendStoredText(std::string_view utf8, bool compress, std::vector<std::byte>& out) {
  if (IsAsciiWithoutNul(utf8)) {  // the common case, without a UTF-16 copy
    size_t n = utf8.size();
    if (compress && n >= 3 && n <= kMaxCompressedUnits) {
      size_t at = out.size();
      out.resize(at + 2 + n);
      out[at] = std::byte{0xFF};
      out[at + 1] = std::byte{0xFE};
      std::memcpy(out.data() + at + 2, utf8.data(), n);
    } else {
      size_t at = out.size();
      out.resize(at + 2 * n);
      std::byte* p = out.data() + at;
      for (size_t i = 0; i < n; ++i) {
        p[2 * i] = static_cast<std::byte>(utf8[i]);
        p[2 * i + 1] = std::byte{0};
      }
    }
    return n;
  }
  std::u16string units = format::Utf8ToUtf16(utf8);
  bool compressible = compress && units.size() >= 3 && units.size() <= kMaxCompressedUnits;
  for (size_t i = 0; compressible && i < units.size(); ++i)
    if (units[i] == 0 || units[i] > 0xFF) compressible = false;
  size_t at = out.size();
  if (compressible) {
    out.resize(at + 2 + units.size());
    out[at] = std::byte{0xFF};
    out[at + 1] = std::byte{0xFE};
    for (size_t i = 0; i < units.size(); ++i) out[at + 2 + i] = static_cast<std::byte>(units[i]);
    return units.size();
  }
  if (!units.empty() && units[0] == 0xFEFF) {  // FF FE would read as the compression marker
    out.push_back(std::byte{0xFF});
    out.push_back(std::byte{0xFE});
    out.push_back(std::byte{0x00});
    at = out.size();
  }
  out.resize(at + 2 * units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    out[at + 2 * i] = static_cast<std::byte>(units[i] & 0xFF);
    out[at + 2 * i + 1] = static_cast<std::byte>(units[i] >> 8);
  }
  return units.size();
}

Status AppendVariableCell(const ColumnDef& c, const Cell& cell, std::vector<std::byte>& out) {
  bool compress = c.ext_flags & format::kColumnCompressedUnicode;
  switch (c.type()) {
    case ColumnType::kText: {
      auto* s = std::get_if<std::string>(&cell);
      if (!s) return Refuse(c, cell, "not a text");
      size_t at = out.size();
      size_t units = AppendStoredText(*s, compress, out);
      if (c.length && units * 2 > c.length) {
        out.resize(at);
        return Refuse(c, cell, fmt::format("{} characters, more than the {} the column holds", units, c.length / 2));
      }
      return {};
    }
    case ColumnType::kMemo: {
      auto* s = std::get_if<std::string>(&cell);
      if (!s) return Refuse(c, cell, "not a text");
      // Access compresses memo text whatever the column's flag says (it
      // leaves the flag clear on the memo columns it makes).
      AppendStoredText(*s, true, out);
      return {};
    }
    case ColumnType::kBinary:
    case ColumnType::kOle: {
      auto* b = std::get_if<Bytes>(&cell);
      if (!b) return Refuse(c, cell, "not binary data");
      if (c.type() == ColumnType::kBinary && c.length && b->size() > c.length)
        return Refuse(c, cell, fmt::format("more than the {} bytes the column holds", c.length));
      const auto* p = reinterpret_cast<const std::byte*>(b->data());
      out.insert(out.end(), p, p + b->size());
      return {};
    }
    default: {
      // A fixed type stored in a variable column (some system tables do this):
      // the fixed encoding at the column's length.
      size_t at = out.size();
      out.resize(at + c.length);
      auto status = EncodeFixedCell(c, cell, format::MutableBytes(out.data() + at, c.length));
      if (!status) out.resize(at);
      return status;
    }
  }
}

}  // namespace jet::table

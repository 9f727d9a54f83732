#include "platform/jet/format/numeric.h"

#include <fmt/format.h>

#include <cmath>

namespace jet::format {

}  // namespace jet::format

namespace jet {  // declared in public/value_text.h
using namespace format;

std::string MoneyText(Money m) {
  bool negative = m.scaled < 0;
  // Magnitude as unsigned so that INT64_MIN has one.
  uint64_t mag = negative ? ~static_cast<uint64_t>(m.scaled) + 1 : static_cast<uint64_t>(m.scaled);
  return fmt::format("{}{}.{:04d}", negative ? "-" : "", mag / 10000, static_cast<int>(mag % 10000));
}

}  // namespace jet

namespace jet::format {

Result<Decimal> DecodeDecimal(ConstBytes b, uint8_t scale) {
  if (b.size() < kDecimalSize) return MakeError(ErrorCode::kCorruption, "a decimal value is shorter than 17 bytes");
  if (U32(b, 1) != 0) return MakeError(ErrorCode::kCorruption, "a decimal value has more than 28 digits");
  Decimal d;
  d.negative = (U8(b, 0) & 0x80) != 0;
  d.hi = U32(b, 5);
  d.mid = U32(b, 9);
  d.lo = U32(b, 13);
  d.scale = scale;
  return d;
}

void EncodeDecimal(const Decimal& d, MutableBytes out) {
  Put8(out, 0, d.negative ? 0x80 : 0x00);
  Put32(out, 1, 0);
  Put32(out, 5, d.hi);
  Put32(out, 9, d.mid);
  Put32(out, 13, d.lo);
}

}  // namespace jet::format

namespace jet {  // declared in public/value_text.h
using namespace format;

std::string DecimalText(const Decimal& d) {
  // Repeated division of the 96-bit magnitude by 10.
  uint32_t words[3] = {d.hi, d.mid, d.lo};
  std::string digits;
  auto is_zero = [&] { return words[0] == 0 && words[1] == 0 && words[2] == 0; };
  while (!is_zero()) {
    uint64_t rem = 0;
    for (uint32_t& w : words) {
      uint64_t cur = (rem << 32) | w;
      w = static_cast<uint32_t>(cur / 10);
      rem = cur % 10;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + rem));
  }
  bool zero = digits.empty();
  while (digits.size() <= d.scale) digits.insert(digits.begin(), '0');
  if (d.scale > 0) digits.insert(digits.end() - d.scale, '.');
  return (d.negative && !zero ? "-" : "") + digits;
}

}  // namespace jet

namespace jet::format {

// H. Hinnant's algorithm.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

namespace {

// The inverse of DaysFromCivil (H. Hinnant's algorithm).
void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

const int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);
constexpr int64_t kMsPerDay = 86400000;

}  // namespace

}  // namespace jet::format

namespace jet {  // declared in public/value_text.h
using namespace format;

std::optional<CivilDateTime> OleDateToCivil(double days, int resolution_ms) {
  // Beyond these the value is no date Access can hold (years 100..9999).
  if (!std::isfinite(days) || days < -657435.0 || days >= 2958466.0) return std::nullopt;
  double whole = std::trunc(days);
  int64_t ms_of_day = std::llround(std::fabs(days - whole) * kMsPerDay);
  if (resolution_ms > 1) ms_of_day = (ms_of_day + resolution_ms / 2) / resolution_ms * resolution_ms;
  int64_t day = static_cast<int64_t>(whole);
  if (ms_of_day >= kMsPerDay) {  // rounding reached midnight
    ms_of_day -= kMsPerDay;
    day += days < 0 ? -1 : 1;
  }
  CivilDateTime t;
  CivilFromDays(kOleEpoch + day, t.year, t.month, t.day);
  t.hour = static_cast<int>(ms_of_day / 3600000);
  t.minute = static_cast<int>(ms_of_day / 60000 % 60);
  t.second = static_cast<int>(ms_of_day / 1000 % 60);
  t.millisecond = static_cast<int>(ms_of_day % 1000);
  return t;
}

}  // namespace jet

namespace jet::format {

double CivilToOleDate(const CivilDateTime& t) {
  int64_t day = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) - kOleEpoch;
  double fraction =
      ((t.hour * 60.0 + t.minute) * 60.0 + t.second + t.millisecond / 1000.0) / 86400.0;
  // Before the epoch the whole part counts back while the time still counts forward.
  return day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
}

}  // namespace jet::format

namespace jet {  // declared in public/value_text.h
using namespace format;

std::string OleDateText(double days) {
  auto t = OleDateToCivil(days, 1000);
  if (!t) return fmt::format("{}", days);
  return fmt::format("{:04d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}", t->year, t->month, t->day, t->hour,
                     t->minute, t->second);
}

}  // namespace jet

namespace jet::format {

std::optional<std::string> ExtendedDateTimeText(ConstBytes stored) {
  constexpr size_t kDays = 19, kSeconds = 12, kUnits = 7;
  if (stored.size() < kDays + 1 + kSeconds + kUnits || U8(stored, kDays) != ':') return std::nullopt;
  auto number = [&](size_t at, size_t n, int64_t* out) {
    *out = 0;
    for (size_t i = at; i < at + n; ++i) {
      uint8_t c = U8(stored, i);
      if (c < '0' || c > '9') return false;
      *out = *out * 10 + (c - '0');
    }
    return true;
  };
  int64_t days = 0, seconds = 0, units = 0;
  if (!number(0, kDays, &days) || !number(kDays + 1, kSeconds, &seconds) ||
      !number(kDays + 1 + kSeconds, kUnits, &units) || days > 3652058 || seconds >= 86400)
    return std::nullopt;  // beyond 9999-12-31, or not a time of day
  int year = 0, month = 0, day = 0;
  CivilFromDays(DaysFromCivil(1, 1, 1) + days, year, month, day);
  std::string text = fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", year, month, day, seconds / 3600,
                                 seconds / 60 % 60, seconds % 60);
  if (units != 0) text += fmt::format(".{:07}", units);
  return text;
}

}  // namespace jet::format

namespace jet {  // declared in public/value_text.h
using namespace format;

std::string GuidText(const Guid& g) {
  ConstBytes b(reinterpret_cast<const std::byte*>(g.bytes), 16);
  return fmt::format("{{{:08X}-{:04X}-{:04X}-{:02X}{:02X}-{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}}}", U32(b, 0),
                     U16(b, 4), U16(b, 6), g.bytes[8], g.bytes[9], g.bytes[10], g.bytes[11], g.bytes[12],
                     g.bytes[13], g.bytes[14], g.bytes[15]);
}

}  // namespace jet

namespace jet::format {

}  // namespace jet::format

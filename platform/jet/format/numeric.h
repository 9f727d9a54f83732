#pragma once
// Fixed-size values (docs/access-format.md §5.3):
//
//   Currency   int64 LE = amount x 10,000
//   Decimal    17 bytes: byte 0 sign (0x80 negative), then four uint32 LE words
//              of the magnitude x 10^scale, most significant word first
//   Date/Time  double LE = days since 1899-12-30; for negative values the
//              integer part counts days back and the fraction is still the time
//   GUID       Data1 uint32 LE, Data2 uint16 LE, Data3 uint16 LE, Data4 8 bytes

#include <cstdint>
#include <optional>
#include <string>

#include "platform/jet/format/bytes.h"
#include "platform/jet/public/result.h"
#include "platform/jet/public/value.h"
#include "platform/jet/public/value_text.h"

namespace jet::format {

inline constexpr size_t kDecimalSize = 17;

// The texts of values, declared with the public face (public/value_text.h).
using jet::CivilDateTime;
using jet::DecimalText;
using jet::GuidText;
using jet::MoneyText;
using jet::OleDateText;
using jet::OleDateToCivil;


// A stored decimal; a magnitude beyond 96 bits (more than 28 digits) is corrupt.
Result<Decimal> DecodeDecimal(ConstBytes stored17, uint8_t scale);
void EncodeDecimal(const Decimal& d, MutableBytes out17);


// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d);

double CivilToOleDate(const CivilDateTime& t);

// A Date/Time Extended value (ACE 17), stored as ASCII digits: days since
// 0001-01-01 (19), ':', seconds of the day (12), 100-nanosecond units (7),
// NUL padding. As "yyyy-mm-dd hh:mm:ss" with ".fffffff" when there is a
// fraction; nothing for bytes of another shape.
std::optional<std::string> ExtendedDateTimeText(ConstBytes stored);


}  // namespace jet::format

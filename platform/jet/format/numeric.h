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
#include "platform/jet/result.h"
#include "platform/jet/value.h"

namespace jet::format {

inline constexpr size_t kDecimalSize = 17;

// Exact decimal text of a currency amount with its four decimals ("3.5000").
std::string MoneyText(Money m);

// A stored decimal; a magnitude beyond 96 bits (more than 28 digits) is corrupt.
Result<Decimal> DecodeDecimal(ConstBytes stored17, uint8_t scale);
void EncodeDecimal(const Decimal& d, MutableBytes out17);
// Exact text: "-12.50" for magnitude 1250, scale 2, negative.
std::string DecimalText(const Decimal& d);

struct CivilDateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
  int millisecond = 0;
};

// The wall-clock date and time of an OLE date, rounded to `resolution_ms`;
// nothing for values outside the years Access allows (100..9999) or not finite.
// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d);

std::optional<CivilDateTime> OleDateToCivil(double days, int resolution_ms = 1);
double CivilToOleDate(const CivilDateTime& t);
// "yyyy-mm-dd hh:mm:ss" (seconds rounded to the nearest).
std::string OleDateText(double days);

// A Date/Time Extended value (ACE 17), stored as ASCII digits: days since
// 0001-01-01 (19), ':', seconds of the day (12), 100-nanosecond units (7),
// NUL padding. As "yyyy-mm-dd hh:mm:ss" with ".fffffff" when there is a
// fraction; nothing for bytes of another shape.
std::optional<std::string> ExtendedDateTimeText(ConstBytes stored);

// "{6F9619FF-8B86-D011-B42D-00C04FC964FF}".
std::string GuidText(const Guid& g);

}  // namespace jet::format

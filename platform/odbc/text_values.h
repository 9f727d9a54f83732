#pragma once
// Values that arrive from the driver as text and are parsed here rather than by
// the driver: psqlODBC silently turns what a structure cannot hold into another
// valid value (an infinite date into today's date, a NaN numeric into 0). Each
// parser accepts only the exact form the driver writes; anything else is kept
// as the text the driver gave, so that no value turns into a different one.

#include <string>

#include "platform/ado/value.h"

namespace odbc {

// "-12.50" -> Decimal; "NaN", "Infinity" stay text.
ado::Value DecimalFromText(std::string text);
// "yyyy-mm-dd", a real calendar day with year 1 to 9999.
ado::Value DateFromText(std::string text);
// "hh:mm:ss" with an optional fraction of up to nine digits, hour 0 to 23.
ado::Value TimeFromText(std::string text);
// "yyyy-mm-dd hh:mm:ss" with an optional fraction.
ado::Value DateTimeFromText(std::string text);
// PostgreSQL money as lc_monetary "C" (and English locales) print it:
// "$1,234.50", "-$1,234.50", "($1,234.50)", a currency symbol before or after,
// commas between groups of three digits, a full stop before the fraction.
// Other forms ("1.234,50 €") are kept as text: their separators are ambiguous.
ado::Value MoneyFromText(std::string text);

}  // namespace odbc

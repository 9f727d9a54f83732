#pragma once
// Values as text, exactly: what tools print and compare (the Access provider,
// pelmora-access export, pelmora-convert --verify).

#include <optional>
#include <string>

#include "platform/jet/public/value.h"

namespace jet {

// Exact decimal text of a currency amount with its four decimals ("3.5000").
std::string MoneyText(Money m);
// Exact text: "-12.50" for magnitude 1250, scale 2, negative.
std::string DecimalText(const Decimal& d);
// "{6F9619FF-8B86-D011-B42D-00C04FC964FF}".
std::string GuidText(const Guid& g);

struct CivilDateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
  int millisecond = 0;
};

// The wall-clock date and time of an OLE date (days since 1899-12-30),
// rounded to `resolution_ms`; nothing for values outside the years Access
// allows (100..9999) or not finite.
std::optional<CivilDateTime> OleDateToCivil(double days, int resolution_ms = 1);
// "yyyy-mm-dd hh:mm:ss" (seconds rounded to the nearest).
std::string OleDateText(double days);

}  // namespace jet

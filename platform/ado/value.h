#pragma once
// A field value as ADO hands it to the program: Null, or a text, number, date,
// time, date-time, Boolean or binary value. ToText() gives the text form the
// program writes into statements; it is made from the value, never copied from a
// driver's own formatting.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace ado {

struct Date {
  int year = 0, month = 0, day = 0;
  bool operator==(const Date&) const = default;
};

struct Time {
  int hour = 0, minute = 0, second = 0;
  uint32_t nanosecond = 0;  // fraction of the second
  bool operator==(const Time&) const = default;
};

struct DateTime {
  Date date;
  Time time;
  bool operator==(const DateTime&) const = default;
};

// A decimal kept exactly as its text ("-12.50"), as the server sent it.
struct Decimal {
  std::string text;
  bool operator==(const Decimal&) const = default;
};

struct Null {
  bool operator==(const Null&) const = default;
};

using Binary = std::vector<uint8_t>;

class Value {
 public:
  using Storage = std::variant<Null, std::string, int64_t, uint64_t, double, Decimal, Date, Time,
                               DateTime, bool, Binary>;

  Value() = default;
  Value(Null) {}
  Value(std::string text) : v_(std::move(text)) {}
  Value(const char* text) : v_(std::string(text)) {}
  Value(int64_t n) : v_(n) {}
  Value(int n) : v_(int64_t{n}) {}
  Value(uint64_t n) : v_(n) {}
  Value(double d) : v_(d) {}
  Value(Decimal d) : v_(std::move(d)) {}
  Value(Date d) : v_(d) {}
  Value(Time t) : v_(t) {}
  Value(DateTime t) : v_(t) {}
  Value(bool b) : v_(b) {}
  Value(Binary b) : v_(std::move(b)) {}

  // Makes this an empty text, keeping the buffer of the text it held: a
  // cursor refilling rows then allocates once per column, not once per value.
  std::string& ResetText() {
    if (auto* text = std::get_if<std::string>(&v_)) {
      text->clear();
      return *text;
    }
    return v_.emplace<std::string>();
  }

  bool IsNull() const { return std::holds_alternative<Null>(v_); }
  const Storage& Get() const { return v_; }
  template <typename T>
  bool Holds() const { return std::holds_alternative<T>(v_); }
  template <typename T>
  const T& As() const { return std::get<T>(v_); }

  // The text form: "" for Null; integers in decimal; floating values in the
  // shortest text that reads back to the same value, with a full stop; decimals
  // as kept; dates yyyy-mm-dd; date-times yyyy-mm-dd hh:mm:ss[.fraction], the
  // date alone at midnight; times hh:mm:ss[.fraction]; "True"/"False"; binary
  // as upper-case hexadecimal.
  std::string ToText() const;

  bool operator==(const Value&) const = default;

 private:
  Storage v_;
};

// Text helpers shared by providers and tools.
std::string FormatDouble(double d);
std::string FormatDate(const Date& d);
std::string FormatTime(const Time& t);
std::string FormatDateTime(const DateTime& t);

}  // namespace ado

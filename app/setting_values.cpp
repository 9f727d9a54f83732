#include "app/setting_values.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <stdexcept>

namespace app {
namespace {

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// The number a text stands for, Booleans included; nothing for other text.
std::optional<double> NumberIn(std::string_view text) {
  text = Trimmed(text);
  if (EqualsIgnoringCase(text, "true")) return -1.0;
  if (EqualsIgnoringCase(text, "false")) return 0.0;
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

int CheckStateFromText(std::string_view text) {
  const auto number = NumberIn(text);
  if (!number) throw std::runtime_error("Type mismatch");
  const double rounded = std::nearbyint(*number);  // halves to even
  if (rounded < -32768 || rounded > 32767) throw std::runtime_error("Overflow");
  if (rounded < 0 || rounded > 2) throw std::runtime_error("Invalid property value");
  return int(rounded);
}

bool BooleanFromText(std::string_view text) {
  const auto number = NumberIn(text);
  if (!number) throw std::runtime_error("Type mismatch");
  return *number != 0;
}

std::string BooleanText(bool value) { return value ? "True" : "False"; }

}  // namespace app

#pragma once
// How settings texts become control values, with the conversions the program has
// always used: numbers in a text are read as numbers, "True"/"False" in any case
// as Booleans (True is -1 as a number).

#include <string>
#include <string_view>

namespace app {

// A check state 0..2 from text ("1", " 2 ", "1.0"). Non-numbers throw
// std::runtime_error("Type mismatch"); other numbers "Invalid property value".
int CheckStateFromText(std::string_view text);
// "True"/"False" in any letter case, or a number (0 false, any other true).
// Anything else throws std::runtime_error("Type mismatch").
bool BooleanFromText(std::string_view text);
// "True" or "False", as option values are written.
std::string BooleanText(bool value);

}  // namespace app

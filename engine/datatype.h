#pragma once
// The name of the ADO constant for a field's type code.

#include <cstdint>
#include <string>

namespace engine {

// "adInteger" for 3 ...; the empty text for a code without a name. Never fails.
std::string GetDatatypeName(int16_t code);

}  // namespace engine

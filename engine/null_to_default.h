#pragma once
// NullToDefault: the small procedure the conversion run and its builders share.

#include <string>
#include <string_view>

#include "platform/ado/value.h"

namespace engine {

// The value's text form (ado::Value::ToText), or `default_text` when the value
// is Null.
std::string NullToDefault(const ado::Value& value, std::string_view default_text);

// The same text without a new allocation where possible: the view points into
// the value itself (texts, decimals), into `default_text`, into static text
// ("True"/"False") or into `scratch`, which is overwritten. Valid until the
// value or `scratch` changes. The row builder calls this for every field of
// every row.
std::string_view NullToDefault(const ado::Value& value, std::string_view default_text, std::string& scratch);

}  // namespace engine

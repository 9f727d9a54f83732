#pragma once
// The two list-box functions of the conversion run.

#include <string_view>

#include "db/list_box.h"

namespace engine {

// True when an entry equals `name` with both lower-cased; every entry is compared.
bool ListboxContains(const db::ListBox& list, std::string_view name);

// Removes the entry that equals `name` exactly (case-sensitive), if any.
void RemoveFromListbox(db::ListBox& list, std::string_view name);

}  // namespace engine

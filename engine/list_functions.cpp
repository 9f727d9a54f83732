#include "engine/list_functions.h"

#include "engine/text_case.h"

namespace engine {

bool ListboxContains(const db::ListBox& list, std::string_view name) {
  const std::string wanted = engine::LowerCase(name);
  bool found = false;
  for (int i = 0; i < list.ListCount(); ++i)
    if (engine::LowerCase(list.List(i)) == wanted) found = true;
  return found;
}

void RemoveFromListbox(db::ListBox& list, std::string_view name) {
  for (int i = 0; i < list.ListCount(); ++i) {
    if (list.List(i) == name) {
      list.RemoveItem(i);
      return;
    }
  }
}

}  // namespace engine

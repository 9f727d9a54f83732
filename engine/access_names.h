#pragma once
// Names Access can hold, made from PostgreSQL's, in one deterministic way:
// every character Access forbids in a name ('.', '!', '`', '[', ']' and the
// control characters) becomes '_', leading spaces go, the name is cut to 64
// UTF-16 units (never inside a character), an empty name becomes "_"; a name
// equal to one taken before in the same scope but for case gets "_2", "_3" ...
// (cut again to fit). Scopes: the tables of a database, the columns of a
// table, the indexes of a table, the relationships of a database.

#include <string>
#include <string_view>
#include <unordered_set>

namespace engine {

// `name` with Access's forbidden characters replaced and cut to length.
std::string LegalAccessName(std::string_view name);

// Compares as Access does for names of this kind: without regard to the case
// of ASCII and Latin-1 letters.
std::string NameKey(std::string_view name);

class NameScope {
 public:
  // A legal name for `wanted` that no earlier Claim of this scope gave.
  std::string Claim(std::string_view wanted);
  // Marks a name as taken (one the file has already).
  void Reserve(std::string_view name) { taken_.insert(NameKey(name)); }
  bool Taken(std::string_view name) const { return taken_.count(NameKey(name)) > 0; }

 private:
  std::unordered_set<std::string> taken_;
};

// [name], for Access SQL (names hold no ']' once legal).
std::string Bracketed(std::string_view name);

}  // namespace engine

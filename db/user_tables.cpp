#include "db/user_tables.h"

#include <set>
#include <sstream>

#include "db/postgresql.h"
#include "platform/ado/recordset.h"

namespace db {

namespace {

struct Candidate {
  std::string name;
  std::string oid;
  std::string ancestors;  // oids, space-separated
};

}  // namespace

std::vector<std::string> UserTables(ado::Connection& source) {
  std::vector<Candidate> candidates;
  auto rows = source.Execute(kUserTablesQuery);
  for (; !rows->Eof(); rows->MoveNext()) {
    Candidate c{rows->Fields(size_t{0}).Value().ToText(), rows->Fields(size_t{1}).Value().ToText(),
                rows->Fields(size_t{2}).Value().ToText()};
    if (IsListedTableName(c.name)) candidates.push_back(std::move(c));
  }
  rows->Close();

  // Whether a child is left out depends on its ancestors after the name filter:
  // the child of a filtered-out parent carries rows nothing else converts.
  std::set<std::string> chosen;
  for (const Candidate& c : candidates) chosen.insert(c.oid);
  std::vector<std::string> tables;
  for (const Candidate& c : candidates) {
    std::istringstream ancestors(c.ancestors);
    bool inside_another = false;
    for (std::string oid; ancestors >> oid;) inside_another = inside_another || chosen.count(oid) > 0;
    if (!inside_another) tables.push_back(c.name);
  }
  return tables;
}

}  // namespace db

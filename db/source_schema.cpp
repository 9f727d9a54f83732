#include "db/source_schema.h"

#include <algorithm>
#include <map>
#include <memory>

#include "platform/ado/recordset.h"

namespace db {

namespace {

// Every value is asked for as text, so that the driver's own type mapping
// (booleans as "1"/"0", "char" as whatever) never matters.
std::string Text(ado::Recordset& rows, size_t i) { return rows.Fields(i).Value().ToText(); }
bool IsNull(ado::Recordset& rows, size_t i) { return rows.Fields(i).Value().IsNull(); }
bool Flag(ado::Recordset& rows, size_t i) { return Text(rows, i) == "true"; }
char Letter(ado::Recordset& rows, size_t i) {
  std::string s = Text(rows, i);
  return s.empty() ? char{0} : s[0];
}

// The tables asked for, as a CTE "listed(oid, nspname, relname, relkind)"
// that each query starts with: the server works the set out again each time,
// which keeps the text short however many tables there are.
std::string ListedTables(const std::vector<std::string>& schemas, bool include_views) {
  std::string filter;
  if (schemas.empty()) {
    filter =
        "n.nspname NOT IN ('pg_catalog', 'information_schema')"
        " AND left(n.nspname, 8) <> 'pg_toast' AND left(n.nspname, 7) <> 'pg_temp'";
  } else {
    filter = "n.nspname IN (";
    for (size_t i = 0; i < schemas.size(); ++i) filter += (i ? ", " : "") + QuoteLiteral(schemas[i]);
    filter += ")";
  }
  return std::string(
             "WITH RECURSIVE candidate AS ("
             " SELECT c.oid, n.nspname, c.relname, c.relkind FROM pg_class c"
             " JOIN pg_namespace n ON n.oid = c.relnamespace"
             " WHERE c.relkind IN ('r', 'p'") +
         (include_views ? ", 'v', 'm'" : "") + ") AND " + filter +
         "), "
         "ancestry(child, ancestor) AS ("
         " SELECT i.inhrelid, i.inhparent FROM pg_inherits i WHERE i.inhrelid IN (SELECT oid FROM candidate)"
         " UNION SELECT a.child, i.inhparent FROM ancestry a JOIN pg_inherits i ON i.inhrelid = a.ancestor), "
         "listed AS ("
         " SELECT c.* FROM candidate c WHERE NOT EXISTS ("
         " SELECT 1 FROM ancestry a JOIN candidate p ON p.oid = a.ancestor WHERE a.child = c.oid))";
}

// One row per column (one with NULL columns for a table without any), in
// table and attnum order. chain walks each column type through its domains,
// keeping the first type modifier met and whether any domain is NOT NULL.
constexpr std::string_view kColumnsQuery =
    ", chain(type_oid, cur, typmod, not_null) AS ("
    " SELECT DISTINCT a.atttypid, a.atttypid, -1, false FROM pg_attribute a"
    " WHERE a.attrelid IN (SELECT oid FROM listed) AND a.attnum > 0 AND NOT a.attisdropped"
    " UNION ALL SELECT ch.type_oid, t.typbasetype,"
    " CASE WHEN ch.typmod = -1 THEN t.typtypmod ELSE ch.typmod END, ch.not_null OR t.typnotnull"
    " FROM chain ch JOIN pg_type t ON t.oid = ch.cur WHERE t.typtype = 'd') "
    "SELECT l.oid::text, l.nspname::text, l.relname::text, l.relkind::text,"
    " a.attname::text, format_type(a.atttypid, a.atttypmod), b.typname::text, b.typcategory::text,"
    " (CASE WHEN a.atttypmod <> -1 THEN a.atttypmod ELSE ch.typmod END)::text,"
    " (a.attnotnull OR ch.not_null)::text,"
    " CASE WHEN a.attgenerated = '' THEN pg_get_expr(d.adbin, d.adrelid) END,"
    // serial: a default nextval of a sequence that belongs to this very column
    " (a.attidentity <> '' OR (pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%' AND EXISTS ("
    " SELECT 1 FROM pg_depend owned JOIN pg_depend used ON used.refobjid = owned.objid"
    " AND used.refclassid = 'pg_class'::regclass AND used.classid = 'pg_attrdef'::regclass AND used.objid = d.oid"
    " WHERE owned.classid = 'pg_class'::regclass AND owned.refclassid = 'pg_class'::regclass"
    " AND owned.refobjid = a.attrelid AND owned.refobjsubid = a.attnum AND owned.deptype = 'a')))::text "
    "FROM listed l"
    " LEFT JOIN pg_attribute a ON a.attrelid = l.oid AND a.attnum > 0 AND NOT a.attisdropped"
    " LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum"
    " LEFT JOIN (chain ch JOIN pg_type b ON b.oid = ch.cur AND b.typtype <> 'd') ON ch.type_oid = a.atttypid "
    "ORDER BY l.oid, a.attnum";

// One row per key column of each index (attname NULL for an expression).
// indnullsnotdistinct came with PostgreSQL 15: read through jsonb so that
// older servers answer too.
constexpr std::string_view kIndexesQuery =
    " SELECT i.indrelid::text, i.indexrelid::text, ic.relname::text, i.indisprimary::text, i.indisunique::text,"
    " am.amname::text, (i.indpred IS NOT NULL)::text, (i.indnatts > i.indnkeyatts)::text,"
    " coalesce(to_jsonb(i) ->> 'indnullsnotdistinct', 'false'), i.indisexclusion::text, i.indisvalid::text,"
    " a.attname::text, ((k.option & 1) = 1)::text "
    "FROM listed l JOIN pg_index i ON i.indrelid = l.oid"
    " JOIN pg_class ic ON ic.oid = i.indexrelid JOIN pg_am am ON am.oid = ic.relam"
    " CROSS JOIN LATERAL unnest(i.indkey::int2[], i.indoption::int2[]) WITH ORDINALITY k(attnum, option, position)"
    " LEFT JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum AND k.attnum > 0 "
    "WHERE k.position <= i.indnkeyatts "
    "ORDER BY i.indexrelid, k.position";

// One row per column pair of each foreign key. The copies PostgreSQL makes of
// a key for each partition of the referenced table (same table, a parent
// constraint) are left out.
constexpr std::string_view kForeignKeysQuery =
    " SELECT k.conrelid::text, k.oid::text, k.conname::text, rn.nspname::text, rc.relname::text,"
    " k.confupdtype::text, k.confdeltype::text, k.condeferrable::text, a.attname::text, ra.attname::text "
    "FROM listed l JOIN pg_constraint k ON k.conrelid = l.oid AND k.contype = 'f'"
    " JOIN pg_class rc ON rc.oid = k.confrelid JOIN pg_namespace rn ON rn.oid = rc.relnamespace"
    " CROSS JOIN LATERAL unnest(k.conkey, k.confkey) WITH ORDINALITY u(attnum, refnum, position)"
    " JOIN pg_attribute a ON a.attrelid = k.conrelid AND a.attnum = u.attnum"
    " JOIN pg_attribute ra ON ra.attrelid = k.confrelid AND ra.attnum = u.refnum "
    "WHERE NOT EXISTS (SELECT 1 FROM pg_constraint p WHERE p.oid = k.conparentid AND p.conrelid = k.conrelid) "
    "ORDER BY k.oid, u.position";

// Each table's CHECK constraints, and those of the domains its columns have
// (the domain's own, not those of a domain it is made from).
constexpr std::string_view kChecksQuery =
    " SELECT l.oid::text, k.conname::text, pg_get_constraintdef(k.oid) "
    "FROM listed l JOIN pg_constraint k ON k.conrelid = l.oid AND k.contype = 'c' "
    "UNION ALL SELECT l.oid::text, k.conname::text || ' of domain ' || t.typname::text || ' (column ' ||"
    " a.attname::text || ')', pg_get_constraintdef(k.oid) "
    "FROM listed l JOIN pg_attribute a ON a.attrelid = l.oid AND a.attnum > 0 AND NOT a.attisdropped"
    " JOIN pg_type t ON t.oid = a.atttypid AND t.typtype = 'd'"
    " JOIN pg_constraint k ON k.contypid = t.oid AND k.contype = 'c' "
    "ORDER BY 1, 2";

// The columns of inheritance children that their listed ancestor lacks: the
// ancestor's SELECT brings the children's rows without them. (Partitions
// have their parent's columns.)
constexpr std::string_view kChildColumnsQuery =
    " SELECT p.oid::text, c.nspname::text || '.' || c.relname::text, a.attname::text "
    "FROM ancestry an JOIN listed p ON p.oid = an.ancestor JOIN candidate c ON c.oid = an.child"
    " JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
    "WHERE NOT EXISTS (SELECT 1 FROM pg_attribute pa WHERE pa.attrelid = p.oid AND pa.attname = a.attname"
    " AND NOT pa.attisdropped) "
    "ORDER BY 1, 2, a.attnum";

// Length, precision and scale as the type modifier encodes them.
void DecodeTypmod(SourceColumn& column, int32_t typmod) {
  if (typmod < 0) return;
  const std::string& t = column.base_type;
  if (t == "bpchar" || t == "varchar") {
    if (typmod >= 4) column.length = typmod - 4;
  } else if (t == "bit" || t == "varbit") {
    column.length = typmod;
  } else if (t == "numeric" && typmod >= 4) {
    int32_t packed = typmod - 4;
    column.precision = (packed >> 16) & 0xffff;
    column.scale = ((packed & 0x7ff) ^ 1024) - 1024;  // 11 bits, signed since PostgreSQL 15
  }
}

int32_t ToInt32(const std::string& text) {
  try {
    return static_cast<int32_t>(std::stol(text));
  } catch (...) {
    return -1;
  }
}

std::string Reason(const std::string& so_far, std::string_view reason) {
  return so_far.empty() ? std::string(reason) : so_far + ", " + std::string(reason);
}

}  // namespace

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string QuoteLiteral(std::string_view text) {
  bool backslash = text.find('\\') != std::string_view::npos;
  std::string out = backslash ? "E'" : "'";
  for (char c : text) {
    if (c == '\'' || c == '\\') out += c;
    out += c;
  }
  return out + "'";
}

std::string QualifiedName(const SourceTable& table) {
  return QuoteIdentifier(table.schema) + "." + QuoteIdentifier(table.name);
}

std::string SourceQuery(const SourceTable& table, std::string_view select_list) {
  return "SELECT " + std::string(select_list) + " FROM " + QualifiedName(table);
}

std::vector<SourceTable> ReadSourceSchema(ado::Connection& source, const std::vector<std::string>& schemas,
                                          bool include_views) {
  const std::string listed = ListedTables(schemas, include_views);
  std::vector<SourceTable> tables;
  std::map<std::string, size_t> by_oid;

  auto rows = source.Execute(listed + std::string(kColumnsQuery));
  for (; !rows->Eof(); rows->MoveNext()) {
    std::string oid = Text(*rows, 0);
    auto [at, added] = by_oid.try_emplace(oid, tables.size());
    if (added) {
      SourceTable table;
      table.schema = Text(*rows, 1);
      table.name = Text(*rows, 2);
      char kind = Letter(*rows, 3);
      table.is_view = kind == 'v' || kind == 'm';
      tables.push_back(std::move(table));
    }
    if (IsNull(*rows, 4)) continue;  // a table without columns
    SourceColumn column;
    column.name = Text(*rows, 4);
    column.type = Text(*rows, 5);
    column.base_type = Text(*rows, 6);
    column.category = Letter(*rows, 7);
    DecodeTypmod(column, ToInt32(Text(*rows, 8)));
    column.not_null = Flag(*rows, 9);
    column.default_expression = Text(*rows, 10);
    column.identity = Flag(*rows, 11);
    tables[at->second].columns.push_back(std::move(column));
  }
  rows->Close();

  rows = source.Execute(listed + std::string(kIndexesQuery));
  std::string current;  // the index the last row belonged to
  for (; !rows->Eof(); rows->MoveNext()) {
    auto table = by_oid.find(Text(*rows, 0));
    if (table == by_oid.end()) continue;  // made between the queries
    auto& indexes = tables[table->second].indexes;
    std::string index_oid = Text(*rows, 1);
    if (index_oid != current) {
      current = index_oid;
      SourceIndex index;
      index.name = Text(*rows, 2);
      index.primary = Flag(*rows, 3);
      index.unique = Flag(*rows, 4);
      std::string method = Text(*rows, 5);
      if (method != "btree") {
        bool vowel = !method.empty() && std::string_view("aeiou").find(method[0]) != std::string_view::npos;
        index.left_out = Reason(index.left_out, (vowel ? "an " : "a ") + method + " index");
      }
      if (Flag(*rows, 6)) index.left_out = Reason(index.left_out, "a partial index");
      if (Flag(*rows, 7)) index.left_out = Reason(index.left_out, "INCLUDE columns");
      if (Flag(*rows, 8)) index.left_out = Reason(index.left_out, "NULLS NOT DISTINCT");
      if (Flag(*rows, 9)) index.left_out = Reason(index.left_out, "an exclusion constraint");
      if (!Flag(*rows, 10)) index.left_out = Reason(index.left_out, "not valid");
      indexes.push_back(std::move(index));
    }
    SourceIndex& index = indexes.back();
    if (IsNull(*rows, 11)) {
      if (index.left_out.find("an expression index") == std::string::npos)
        index.left_out = index.left_out.empty() ? "an expression index" : "an expression index, " + index.left_out;
      continue;
    }
    index.columns.push_back(Text(*rows, 11));
    index.descending.push_back(Flag(*rows, 12));
  }
  rows->Close();

  rows = source.Execute(listed + std::string(kForeignKeysQuery));
  current.clear();
  for (; !rows->Eof(); rows->MoveNext()) {
    auto table = by_oid.find(Text(*rows, 0));
    if (table == by_oid.end()) continue;
    auto& keys = tables[table->second].foreign_keys;
    std::string key_oid = Text(*rows, 1);
    if (key_oid != current) {
      current = key_oid;
      SourceForeignKey key;
      key.name = Text(*rows, 2);
      key.referenced_schema = Text(*rows, 3);
      key.referenced_table = Text(*rows, 4);
      key.on_update = Letter(*rows, 5);
      key.on_delete = Letter(*rows, 6);
      key.deferrable = Flag(*rows, 7);
      keys.push_back(std::move(key));
    }
    keys.back().columns.push_back(Text(*rows, 8));
    keys.back().referenced_columns.push_back(Text(*rows, 9));
  }
  rows->Close();

  rows = source.Execute(listed + std::string(kChecksQuery));
  for (; !rows->Eof(); rows->MoveNext()) {
    auto table = by_oid.find(Text(*rows, 0));
    if (table != by_oid.end()) tables[table->second].checks.push_back(Text(*rows, 1) + ": " + Text(*rows, 2));
  }
  rows->Close();

  rows = source.Execute(listed + std::string(kChildColumnsQuery));
  for (; !rows->Eof(); rows->MoveNext()) {
    auto table = by_oid.find(Text(*rows, 0));
    if (table != by_oid.end())
      tables[table->second].child_columns.push_back(Text(*rows, 1) + "." + Text(*rows, 2));
  }
  rows->Close();

  for (SourceTable& table : tables) {
    std::stable_sort(table.indexes.begin(), table.indexes.end(), [](const SourceIndex& a, const SourceIndex& b) {
      return a.primary != b.primary ? a.primary : a.name < b.name;
    });
    std::stable_sort(table.foreign_keys.begin(), table.foreign_keys.end(),
                     [](const SourceForeignKey& a, const SourceForeignKey& b) { return a.name < b.name; });
  }
  std::sort(tables.begin(), tables.end(), [](const SourceTable& a, const SourceTable& b) {
    return a.schema != b.schema ? a.schema < b.schema : a.name < b.name;
  });
  return tables;
}

}  // namespace db

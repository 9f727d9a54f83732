#include "engine/typed_conversion.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "db/postgresql.h"
#include "db/source_facts.h"
#include "engine/access_names.h"

namespace engine {

namespace {

constexpr size_t kMaxAccessColumns = 255;

// Whether Access would see two rows with the same key where PostgreSQL sees
// none: its text keys ignore case and trailing spaces, its Date/Time keys
// hold milliseconds, and of a key of several columns only the entries whose
// columns are all NULL are never duplicates (PostgreSQL lets any NULL
// differ). Other types compare alike on both sides.
bool AccessSeesDuplicates(ado::Connection& source, const db::SourceTable& table, const db::SourceIndex& index) {
  std::string key, all_null;
  bool differs = false;
  for (const auto& name : index.columns) {
    auto c = std::find_if(table.columns.begin(), table.columns.end(), [&](const auto& col) { return col.name == name; });
    if (c == table.columns.end()) return false;
    std::string item = db::QuoteIdentifier(name);
    all_null += (all_null.empty() ? "" : " AND ") + item + " IS NULL";
    differs |= index.columns.size() > 1 && !c->not_null;
    if (c->category == 'S' || c->category == 'E') {
      item = "lower(rtrim(" + item + "::text))";
      differs = true;
    } else if (c->base_type == "timestamp" || c->base_type == "timestamptz" || c->base_type == "time") {
      item += "::" + c->base_type + "(3)";
      differs = true;
    }
    key += (key.empty() ? "" : ", ") + item;
  }
  if (!differs) return false;
  auto rows = source.Execute(db::SourceQuery(table, "1") + " WHERE NOT (" + all_null + ") GROUP BY " + key +
                             " HAVING count(*) > 1 LIMIT 1");
  const bool found = !rows->Eof();
  rows->Close();
  return found;
}

// This machine's time zone by its IANA name: TZ, else the zone file
// /etc/localtime links to; empty when neither says.
std::string LocalTimeZone() {
  if (const char* tz = std::getenv("TZ"); tz && *tz) return *tz == ':' ? tz + 1 : tz;
  std::error_code ec;
  const std::string target = std::filesystem::read_symlink("/etc/localtime", ec).string();
  const size_t at = target.find("zoneinfo/");
  return ec || at == std::string::npos ? std::string() : target.substr(at + 9);
}

}  // namespace

void TypedConversion::Prepare(ado::Connection& source, const TypedOptions& options) {
  left_out_tables_.clear();
  time_zone_ = options.time_zone.empty() ? LocalTimeZone() : options.time_zone;
  if (!time_zone_.empty()) source.Execute("SET TimeZone = " + db::QuoteLiteral(time_zone_));
  std::vector<db::SourceTable> all = db::ReadSourceSchema(source, options.schemas, options.include_views);
  tables_.clear();
  for (auto& t : all) {
    // The user's own tables: by default without the "sql_" names the window's list leaves out too.
    const bool wanted = options.tables.empty() ? db::IsListedTableName(t.name) :
                                                 std::any_of(options.tables.begin(), options.tables.end(), [&](const std::string& name) {
                          return name == t.name || name == t.schema + "." + t.name;
                        });
    if (!wanted) continue;
    if (t.columns.size() > kMaxAccessColumns) {
      left_out_tables_.push_back("left out: table " + t.schema + "." + t.name + " has " +
                                 std::to_string(t.columns.size()) + " columns; an Access table holds at most " +
                                 std::to_string(kMaxAccessColumns));
      continue;
    }
    tables_.push_back(std::move(t));
  }
  std::vector<std::vector<db::ColumnFacts>> facts;
  std::vector<int64_t> counted(tables_.size(), -1);
  std::vector<std::string> weakened;
  for (size_t i = 0; i < tables_.size(); ++i) {
    db::SourceTable& t = tables_[i];
    facts.push_back(db::ReadColumnFacts(source, t, &counted[i]));
    // A key Access would refuse on these rows becomes a plain index.
    for (auto& index : t.indexes) {
      if (!(index.primary || index.unique) || !index.left_out.empty() || !AccessSeesDuplicates(source, t, index))
        continue;
      weakened.push_back("changed: key " + index.name + " of " + t.schema + "." + t.name +
                         ": its values are equal for Access (texts but for case or trailing spaces, times but for "
                         "fractions of a millisecond, keys of several columns partly NULL), so it is a plain index "
                         "and relationships that need it are left out");
      index.primary = index.unique = false;
    }
  }
  plans_ = PlanTables(tables_, facts);
  for (auto& plan : plans_) plan.counted_rows = counted[static_cast<size_t>(plan.source - tables_.data())];
  weakened_ = std::move(weakened);
  relationships_ = RelationshipStatements(plans_);
  relationship_made_.assign(relationships_.size(), false);
  restore_.clear();
  done_.clear();
}

std::vector<std::string> TypedConversion::TableNames() const {
  std::vector<std::string> names;
  for (const auto& p : plans_) names.push_back(p.name);
  return names;
}

const TablePlan* TypedConversion::Plan(std::string_view access_name) const {
  for (const auto& p : plans_)
    if (NameKey(p.name) == NameKey(access_name)) return &p;
  return nullptr;
}

void TypedConversion::LogColumns(const TablePlan& plan, ConversionLog& log) const {
  // A change to a column's values is told beside its type, with how many
  // values it touched; what the table could not carry follows its columns.
  for (size_t i = 0; i < plan.columns.size(); ++i) {
    const TypedColumn& c = plan.columns[i];
    std::string access = c.access_type;
    if (!c.change.empty())
      access += " (" + c.change + (c.changed > 0 ? ": " + std::to_string(c.changed) + " values" : "") + ")";
    log.AddRow(plan.name);
    log.SetLastRowSubItem(ConversionLog::kField, plan.column_names[i]);
    log.SetLastRowSubItem(ConversionLog::kSourceType, plan.source->columns[i].type);
    log.SetLastRowSubItem(ConversionLog::kAccessType, access);
  }
  const std::string source_name = plan.source->schema + "." + plan.source->name;
  auto tell = [&](const std::string& what, const std::string& text) {
    log.AddRow(plan.name);
    log.SetLastRowSubItem(ConversionLog::kField, "");
    log.SetLastRowSubItem(ConversionLog::kSourceType, what);
    log.SetLastRowSubItem(ConversionLog::kAccessType, text);
  };
  for (const auto& line : plan.left_out) tell("left out", line);
  for (const auto& line : weakened_)
    if (line.find(" of " + source_name + ":") != std::string::npos) tell("changed", line);
}

std::string TypedConversion::SelectCount(const TablePlan& plan) const {
  return db::SourceQuery(*plan.source, "count(*)");
}

std::string TypedConversion::RowStatement(const TablePlan& plan, ado::Recordset& records) const {
  std::string out;
  RowStatement(plan, records, out);
  return out;
}

void TypedConversion::RowStatement(const TablePlan& plan, ado::Recordset& records, std::string& out) const {
  // As engine::RowStatement writes it; the source query's values arrive as
  // texts, which are read in place.
  out.assign(plan.insert);
  std::string converted;
  for (size_t i = 0; i < plan.columns.size(); ++i) {
    if (i) out += ", ";
    const ado::Value& v = records.Fields(i).Value();
    if (v.IsNull()) {
      out += "NULL";
    } else if (v.Holds<std::string>()) {
      AppendLiteral(plan.columns[i].form, v.As<std::string>(), out);
    } else {
      converted = v.ToText();
      AppendLiteral(plan.columns[i].form, converted, out);
    }
  }
  out += ')';
}

std::vector<std::string> TypedConversion::AfterRows(const TablePlan& plan) {
  std::vector<std::string> out = plan.keys;
  const size_t index = static_cast<size_t>(&plan - plans_.data());
  done_.insert(index);
  for (size_t r = 0; r < relationships_.size(); ++r) {
    const auto& rel = relationships_[r];
    if (relationship_made_[r] || !done_.count(rel.table) || !done_.count(rel.referenced)) continue;
    relationship_made_[r] = true;
    out.push_back(rel.statement);
  }
  for (auto it = restore_.begin(); it != restore_.end();) {
    if (NameKey(it->first) != NameKey(plan.name)) {
      ++it;
      continue;
    }
    out.push_back(std::move(it->second));
    it = restore_.erase(it);
  }
  return out;
}

std::vector<std::string> TypedConversion::DropRelationshipsOf(ado::Connection& target, std::string_view table) {
  // MSysRelationships: one row per column pair of each relationship.
  struct Found {
    std::string name, child, parent;
    std::vector<std::pair<int64_t, std::string>> columns, referenced;  // by icolumn
    int64_t grbit = 0;
  };
  std::vector<Found> found;
  auto rows = target.Execute("SELECT * FROM [MSysRelationships]");
  for (; !rows->Eof(); rows->MoveNext()) {
    const std::string name = rows->Fields("szRelationship").Value().ToText();
    const std::string child = rows->Fields("szObject").Value().ToText();
    const std::string parent = rows->Fields("szReferencedObject").Value().ToText();
    if (NameKey(child) != NameKey(table) && NameKey(parent) != NameKey(table)) continue;
    auto at = std::find_if(found.begin(), found.end(), [&](const Found& f) { return NameKey(f.name) == NameKey(name); });
    if (at == found.end()) at = found.insert(found.end(), Found{name, child, parent, {}, {}, 0});
    const int64_t column = std::stoll(rows->Fields("icolumn").Value().ToText());
    at->columns.emplace_back(column, rows->Fields("szColumn").Value().ToText());
    at->referenced.emplace_back(column, rows->Fields("szReferencedColumn").Value().ToText());
    at->grbit = std::stoll(rows->Fields("grbit").Value().ToText());
  }
  rows->Close();

  auto in_run = [&](const std::string& name) {
    return std::any_of(plans_.begin(), plans_.end(), [&](const TablePlan& p) { return NameKey(p.name) == NameKey(name); });
  };
  auto list = [](std::vector<std::pair<int64_t, std::string>> columns) {
    std::sort(columns.begin(), columns.end());
    std::string out;
    for (const auto& [n, name] : columns) out += (out.empty() ? "" : ", ") + Bracketed(name);
    return "(" + out + ")";
  };
  std::vector<std::string> out;
  for (const Found& f : found) {
    out.push_back("ALTER TABLE " + Bracketed(f.child) + " DROP CONSTRAINT " + Bracketed(f.name));
    // One whose other table this run does not make again is made again once
    // this table holds its rows: the plan knows only the run's own tables.
    const std::string& other = NameKey(f.child) == NameKey(table) ? f.parent : f.child;
    constexpr int64_t kNotEnforced = 0x2, kCascadeUpdates = 0x100, kCascadeDeletes = 0x1000, kSetNull = 0x2000;
    if (in_run(other) || (f.grbit & kNotEnforced)) continue;
    std::string statement = "ALTER TABLE " + Bracketed(f.child) + " ADD CONSTRAINT " + Bracketed(f.name) +
                            " FOREIGN KEY " + list(f.columns) + " REFERENCES " + Bracketed(f.parent) + " " +
                            list(f.referenced);
    if (f.grbit & kCascadeUpdates) statement += " ON UPDATE CASCADE";
    if (f.grbit & kCascadeDeletes) statement += " ON DELETE CASCADE";
    else if (f.grbit & kSetNull) statement += " ON DELETE SET NULL";
    restore_.push_back({std::string(table), std::move(statement)});
  }
  return out;
}

std::vector<std::string> TypedConversion::Notes() const {
  std::vector<std::string> out;
  out.push_back("time zone of timestamps with time zone: " +
                (time_zone_.empty() ? std::string("the server's") : time_zone_));
  out.insert(out.end(), left_out_tables_.begin(), left_out_tables_.end());
  out.insert(out.end(), weakened_.begin(), weakened_.end());
  for (const auto& p : plans_) {
    for (const auto& r : p.renamed) out.push_back("renamed: " + r);
    for (const auto& l : p.left_out) out.push_back("left out: " + l);
    for (size_t i = 0; i < p.columns.size(); ++i)
      if (!p.columns[i].change.empty())
        out.push_back("changed: " + p.source->schema + "." + p.source->name + "." + p.source->columns[i].name + ": " +
                      p.columns[i].change +
                      (p.columns[i].changed > 0 ? " (" + std::to_string(p.columns[i].changed) + " values)" : ""));
  }
  return out;
}

}  // namespace engine

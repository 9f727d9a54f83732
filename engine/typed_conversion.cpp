#include "engine/typed_conversion.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "db/postgresql.h"
#include "db/source_facts.h"
#include "engine/access_names.h"

namespace engine {

namespace {

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
  time_zone_ = options.time_zone.empty() ? LocalTimeZone() : options.time_zone;
  if (!time_zone_.empty()) source.Execute("SET TimeZone = " + db::QuoteLiteral(time_zone_));
  std::vector<db::SourceTable> all = db::ReadSourceSchema(source, options.schemas);
  tables_.clear();
  for (auto& t : all) {
    // The user's own tables: by default without the "sql_" names the window's list leaves out too.
    const bool wanted = options.tables.empty() ? db::IsListedTableName(t.name) :
                                                 std::any_of(options.tables.begin(), options.tables.end(), [&](const std::string& name) {
                          return name == t.name || name == t.schema + "." + t.name;
                        });
    if (wanted) tables_.push_back(std::move(t));
  }
  std::vector<std::vector<db::ColumnFacts>> facts;
  for (const auto& t : tables_) facts.push_back(db::ReadColumnFacts(source, t));
  plans_ = PlanTables(tables_, facts);
  relationships_ = RelationshipStatements(plans_);
  relationship_made_.assign(relationships_.size(), false);
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
  for (size_t i = 0; i < plan.columns.size(); ++i) {
    log.AddRow(plan.name);
    log.SetLastRowSubItem(ConversionLog::kField, plan.column_names[i]);
    log.SetLastRowSubItem(ConversionLog::kSourceType, plan.source->columns[i].type);
    log.SetLastRowSubItem(ConversionLog::kAccessType, plan.columns[i].access_type);
  }
}

std::string TypedConversion::SelectCount(const TablePlan& plan) const {
  return db::SourceQuery(*plan.source, "count(*)");
}

std::string TypedConversion::RowStatement(const TablePlan& plan, ado::Recordset& records) const {
  std::vector<std::optional<std::string>> values;
  values.reserve(plan.columns.size());
  for (size_t i = 0; i < plan.columns.size(); ++i) {
    const ado::Value& v = records.Fields(i).Value();
    values.push_back(v.IsNull() ? std::nullopt : std::optional<std::string>(v.ToText()));
  }
  return engine::RowStatement(plan, values);
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
  return out;
}

std::vector<std::string> TypedConversion::Notes() const {
  std::vector<std::string> out;
  out.push_back("time zone of timestamps with time zone: " +
                (time_zone_.empty() ? std::string("the server's") : time_zone_));
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

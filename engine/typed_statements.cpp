#include "engine/typed_statements.h"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>

#include "engine/access_names.h"

namespace engine {
namespace {

constexpr size_t kMaxIndexes = 32;
constexpr size_t kMaxIndexColumns = 10;

std::string SourceName(const db::SourceTable& t) { return t.schema + "." + t.name; }

bool IsNumberText(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9') digits = true;
    else if (s[i] == '.' && !point) point = true;
    else return false;
  }
  return digits;
}

// A column default Access can store: a literal of the column's kind. The
// server writes them as 42, 'text'::type, true, '2020-01-01'::date ...
std::optional<std::string> DefaultLiteral(std::string expression, const TypedColumn& m) {
  if (expression.empty() || m.counter) return std::nullopt;
  while (expression.size() > 2 && expression.front() == '(' && expression.back() == ')')
    expression = expression.substr(1, expression.size() - 2);
  std::string value = expression;
  bool quoted = false;
  if (!value.empty() && value.front() == '\'') {
    const size_t cast = value.rfind("'::");
    const size_t close = cast != std::string::npos ? cast : (value.back() == '\'' ? value.size() - 1 : 0);
    if (close == 0) return std::nullopt;
    std::string inside;
    for (size_t i = 1; i < close; ++i) {
      if (value[i] == '\'' && i + 1 < close && value[i + 1] == '\'') ++i;
      inside += value[i];
    }
    value = inside;
    quoted = true;
  } else if (const size_t cast = value.find("::"); cast != std::string::npos) {
    value = value.substr(0, cast);
  }
  switch (m.form) {
    case ValueForm::kNumber:
      if (IsNumberText(value)) return value;
      return std::nullopt;
    case ValueForm::kYesNo:
    case ValueForm::kYesNoAsNumber:
      if (value == "true" || value == "false") return Literal(m.form, value);
      return std::nullopt;
    case ValueForm::kText:
      if (quoted || IsNumberText(value)) return Literal(ValueForm::kText, value);
      return std::nullopt;
    case ValueForm::kDateTime:
      if (quoted && value.size() == 10 && value[4] == '-') return "#" + value + "#";
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::string ColumnList(const std::vector<std::string>& names) {
  std::string out = "(";
  for (size_t i = 0; i < names.size(); ++i) out += (i ? ", " : "") + Bracketed(names[i]);
  return out + ")";
}

// Plain numbers of different sizes reference each other in PostgreSQL;
// Access wants one type on both sides: the referencing column takes the
// type of the one it references.
void AlignReferencingTypes(std::vector<TablePlan>& plans, const std::map<std::string, size_t>& by_source) {
  for (auto& plan : plans)
    for (const auto& fk : plan.source->foreign_keys) {
      auto it = by_source.find(fk.referenced_schema + "." + fk.referenced_table);
      if (it == by_source.end() || fk.columns.size() != fk.referenced_columns.size()) continue;
      TablePlan& referenced = plans[it->second];
      for (size_t k = 0; k < fk.columns.size(); ++k) {
        auto column_at = [](TablePlan& p, const std::string& name) -> TypedColumn* {
          for (auto& m : p.columns)
            if (m.name == name) return &m;
          return nullptr;
        };
        TypedColumn* mine = column_at(plan, fk.columns[k]);
        TypedColumn* theirs = column_at(referenced, fk.referenced_columns[k]);
        if (!mine || !theirs || mine == theirs || mine->form != ValueForm::kNumber ||
            theirs->form != ValueForm::kNumber || mine->counter)
          continue;
        const std::string type = theirs->counter ? "LONG" : theirs->access_type;
        if (mine->access_type != type) {
          mine->access_type = type;
          if (mine->change.empty()) mine->change = "typed as the column it references, " + theirs->name;
        }
      }
    }
}

std::string CreateStatement(const TablePlan& plan) {
  std::string out = "CREATE TABLE " + Bracketed(plan.name) + " (";
  for (size_t i = 0; i < plan.columns.size(); ++i) {
    const TypedColumn& m = plan.columns[i];
    out += (i ? ", " : "") + Bracketed(plan.column_names[i]) + " " + m.access_type;
    if (m.not_null && !m.counter) out += " NOT NULL";
    if (auto d = DefaultLiteral(plan.source->columns[i].default_expression, m)) out += " DEFAULT " + *d;
  }
  return out + ")";
}

}  // namespace

std::vector<TablePlan> PlanTables(const std::vector<db::SourceTable>& tables,
                                  const std::vector<std::vector<db::ColumnFacts>>& facts) {
  // A name is shared when tables of more than one schema have it: a schema
  // prefix then tells them apart. Names equal but for case in one schema get
  // a number instead (NameScope), the prefix would not part them.
  std::map<std::string, std::set<std::string>> schemas_of;
  for (const auto& t : tables) schemas_of[NameKey(LegalAccessName(t.name))].insert(t.schema);
  NameScope table_names, index_names;
  std::vector<TablePlan> plans;
  std::map<std::string, size_t> by_source;
  for (size_t i = 0; i < tables.size(); ++i) {
    const db::SourceTable& t = tables[i];
    TablePlan plan;
    plan.source = &t;
    const bool shared = schemas_of[NameKey(LegalAccessName(t.name))].size() > 1;
    plan.name = table_names.Claim(shared ? t.schema + "_" + t.name : t.name);
    if (plan.name != t.name) plan.renamed.push_back(SourceName(t) + " -> " + plan.name);
    NameScope column_names;
    for (const auto& c : t.columns) {
      plan.column_names.push_back(column_names.Claim(c.name));
      if (plan.column_names.back() != c.name)
        plan.renamed.push_back(SourceName(t) + "." + c.name + " -> " + plan.column_names.back());
    }
    plan.columns = MapColumns(t, i < facts.size() ? facts[i] : std::vector<db::ColumnFacts>{});
    std::string select;
    for (const auto& m : plan.columns) select += (select.empty() ? "" : ", ") + m.select;
    plan.source_query = db::SourceQuery(t, select.empty() ? std::string("*") : select);
    plan.insert = "INSERT INTO " + Bracketed(plan.name) + " VALUES (";
    by_source[t.schema + "." + t.name] = plans.size();
    plans.push_back(std::move(plan));
  }
  AlignReferencingTypes(plans, by_source);

  for (auto& plan : plans) {
    plan.create = CreateStatement(plan);
    for (const auto& column : plan.source->child_columns)
      plan.left_out.push_back(fmt::format("column {} of an inheritance child: its rows arrive in {} without it",
                                          column, SourceName(*plan.source)));
    for (const auto& check : plan.source->checks)
      plan.left_out.push_back(fmt::format("check {} of {}: Access SQL cannot make a validation rule", check,
                                          SourceName(*plan.source)));
    // Access stores a literal default only: expressions (now(), a sequence
    // another column than the AutoNumber draws on) stay behind.
    for (size_t i = 0; i < plan.columns.size(); ++i) {
      const std::string& expression = plan.source->columns[i].default_expression;
      if (!expression.empty() && !plan.columns[i].counter && !DefaultLiteral(expression, plan.columns[i]))
        plan.left_out.push_back(fmt::format("default {} of column {} of {}: Access stores only a literal default",
                                            expression, plan.source->columns[i].name, SourceName(*plan.source)));
    }
    const db::SourceTable& t = *plan.source;
    size_t indexes = 0;
    for (const auto& index : t.indexes) {
      const std::string what = fmt::format("index {} of {}", index.name, SourceName(t));
      if (!index.left_out.empty()) {
        plan.left_out.push_back(what + ": " + index.left_out);
        continue;
      }
      std::vector<std::string> names;
      std::string problem;
      for (size_t k = 0; k < index.columns.size() && problem.empty(); ++k) {
        auto c = std::find_if(t.columns.begin(), t.columns.end(),
                              [&](const auto& col) { return col.name == index.columns[k]; });
        if (c == t.columns.end()) {
          problem = "it names a column the table does not have";
          break;
        }
        const size_t at = static_cast<size_t>(c - t.columns.begin());
        if (!plan.columns[at].keyable) problem = "Access cannot index the OLE Object column " + c->name;
        names.push_back(Bracketed(plan.column_names[at]) +
                        (index.descending.size() > k && index.descending[k] ? " DESC" : ""));
      }
      if (problem.empty() && index.columns.size() > kMaxIndexColumns)
        problem = fmt::format("Access indexes at most {} columns", kMaxIndexColumns);
      if (problem.empty() && indexes == kMaxIndexes)
        problem = fmt::format("Access holds at most {} indexes per table", kMaxIndexes);
      if (!problem.empty()) {
        plan.left_out.push_back(what + ": " + problem);
        continue;
      }
      std::string columns = "(";
      for (size_t k = 0; k < names.size(); ++k) columns += (k ? ", " : "") + names[k];
      columns += ")";
      const std::string name = index_names.Claim(index.name);
      if (name != index.name) plan.renamed.push_back(what + " -> " + name);
      plan.index_names.push_back(name);
      if (index.unique || index.primary) {
        std::vector<std::string> key;
        for (const auto& c : index.columns) key.push_back(c);
        std::sort(key.begin(), key.end());
        plan.unique_keys.push_back(std::move(key));
      }
      if (index.primary)
        plan.keys.push_back("ALTER TABLE " + Bracketed(plan.name) + " ADD CONSTRAINT " + Bracketed(name) +
                            " PRIMARY KEY " + columns);
      else
        plan.keys.push_back(std::string("CREATE ") + (index.unique ? "UNIQUE " : "") + "INDEX " + Bracketed(name) +
                            " ON " + Bracketed(plan.name) + " " + columns);
      ++indexes;
    }
  }
  return plans;
}

std::vector<RelationshipStatement> RelationshipStatements(std::vector<TablePlan>& plans) {
  std::map<std::string, size_t> by_source;
  for (size_t i = 0; i < plans.size(); ++i) by_source[plans[i].source->schema + "." + plans[i].source->name] = i;
  // Relationship names share one scope with the index names, across the database.
  NameScope names;
  for (const auto& plan : plans)
    for (const auto& name : plan.index_names) names.Reserve(name);
  std::vector<size_t> index_count(plans.size());
  for (size_t i = 0; i < plans.size(); ++i) index_count[i] = plans[i].keys.size();

  std::vector<RelationshipStatement> out;
  for (size_t i = 0; i < plans.size(); ++i) {
    TablePlan& plan = plans[i];
    for (const auto& fk : plan.source->foreign_keys) {
      const std::string what = fmt::format("foreign key {} of {}", fk.name, SourceName(*plan.source));
      auto it = by_source.find(fk.referenced_schema + "." + fk.referenced_table);
      if (it == by_source.end()) {
        plan.left_out.push_back(fmt::format("{}: the table it references, {}.{}, is not converted", what,
                                            fk.referenced_schema, fk.referenced_table));
        continue;
      }
      const size_t r = it->second;
      TablePlan& referenced = plans[r];
      auto position = [](const TablePlan& p, const std::string& name) -> std::optional<size_t> {
        for (size_t k = 0; k < p.source->columns.size(); ++k)
          if (p.source->columns[k].name == name) return k;
        return std::nullopt;
      };
      std::string problem;
      std::vector<std::string> mine, theirs;
      for (size_t k = 0; k < fk.columns.size() && problem.empty(); ++k) {
        auto a = position(plan, fk.columns[k]);
        auto b = k < fk.referenced_columns.size() ? position(referenced, fk.referenced_columns[k]) : std::nullopt;
        if (!a || !b) {
          problem = "it names a column its tables do not have";
          break;
        }
        const TypedColumn& x = plan.columns[*a];
        const TypedColumn& y = referenced.columns[*b];
        auto type = [](const TypedColumn& m) {
          if (m.counter) return std::string("LONG");
          if (m.access_type.starts_with("TEXT(")) return std::string("TEXT");
          return m.access_type;
        };
        if (type(x) == "MEMO" || type(y) == "MEMO" || !x.keyable || !y.keyable)
          problem = "Access makes no relationship on a Memo or OLE Object column";
        else if (type(x) != type(y))
          problem = fmt::format("its columns {} and {} are of different Access types ({} and {})", x.name, y.name,
                                x.access_type, y.access_type);
        mine.push_back(plan.column_names[*a]);
        theirs.push_back(referenced.column_names[*b]);
      }
      if (problem.empty()) {
        std::vector<std::string> key = fk.referenced_columns;
        std::sort(key.begin(), key.end());
        if (std::find(referenced.unique_keys.begin(), referenced.unique_keys.end(), key) ==
            referenced.unique_keys.end())
          problem = "the table it references has no unique key carried on its columns";
      }
      const size_t more = i == r ? 2 : 1;
      if (problem.empty() && (index_count[i] + more > kMaxIndexes || index_count[r] + 1 > kMaxIndexes))
        problem = fmt::format("Access holds at most {} indexes per table, its relationships' included", kMaxIndexes);
      if (!problem.empty()) {
        plan.left_out.push_back(what + ": " + problem);
        continue;
      }
      index_count[i] += 1;
      index_count[r] += 1;
      std::string actions;
      if (fk.on_update == 'c') actions += " ON UPDATE CASCADE";
      if (fk.on_update == 'n' || fk.on_update == 'd')
        plan.left_out.push_back(what + ": ON UPDATE SET NULL / SET DEFAULT, which Access cannot store (the "
                                "relationship is made without it)");
      if (fk.on_delete == 'c') actions += " ON DELETE CASCADE";
      if (fk.on_delete == 'n') actions += " ON DELETE SET NULL";
      if (fk.on_delete == 'd')
        plan.left_out.push_back(what + ": ON DELETE SET DEFAULT, which Access cannot store (the relationship is "
                                "made without it)");
      RelationshipStatement made;
      made.table = i;
      made.referenced = r;
      const std::string name = names.Claim(fk.name);
      if (name != fk.name) plan.renamed.push_back(what + " -> " + name);
      made.statement = "ALTER TABLE " + Bracketed(plan.name) + " ADD CONSTRAINT " + Bracketed(name) +
                       " FOREIGN KEY " + ColumnList(mine) + " REFERENCES " + Bracketed(referenced.name) + " " +
                       ColumnList(theirs) + actions;
      out.push_back(std::move(made));
    }
  }
  return out;
}

void AppendLiteral(ValueForm form, std::string_view text, std::string& out) {
  switch (form) {
    case ValueForm::kNumber: out += text; return;
    case ValueForm::kYesNo: out += text == "true" || text == "t" ? "True" : "False"; return;
    case ValueForm::kYesNoAsNumber: out += text == "true" || text == "t" ? "-1" : "0"; return;
    case ValueForm::kDateTime: {
      // PostgreSQL writes a time's fraction only as far as it is not zero:
      // the literal always has milliseconds, as the column's values do.
      out.append("#").append(text);
      constexpr size_t kSeconds = 19, kMilliseconds = 23;  // yyyy-mm-dd hh:mm:ss[.fff]
      if (text.size() == kSeconds) out.append(".000");
      else if (text.size() > kSeconds && text.size() < kMilliseconds) out.append(kMilliseconds - text.size(), '0');
      out.append("#");
      return;
    }
    case ValueForm::kBinary: out.append("0x").append(text); return;
    case ValueForm::kGuid: out.append("'{").append(text).append("}'"); return;
    case ValueForm::kText: break;
  }
  // Control characters leave the quotes: 'one' & Chr(13) & Chr(10) & 'two'.
  const size_t start = out.size();
  bool open = false;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      if (open) out += '\'';
      if (out.size() > start) out += " & ";
      fmt::format_to(std::back_inserter(out), "Chr({})", u);
      open = false;
      continue;
    }
    if (!open) {
      out += out.size() > start ? " & '" : "'";
      open = true;
    }
    out += c;
    if (c == '\'') out += c;
  }
  if (open) out += '\'';
  if (out.size() == start) out += "''";
}

std::string Literal(ValueForm form, std::string_view text) {
  std::string out;
  AppendLiteral(form, text, out);
  return out;
}

std::string RowStatement(const TablePlan& plan, const std::vector<std::optional<std::string>>& values) {
  std::string out = plan.insert;
  for (size_t i = 0; i < plan.columns.size(); ++i) {
    if (i) out += ", ";
    if (i < values.size() && values[i]) AppendLiteral(plan.columns[i].form, *values[i], out);
    else out += "NULL";
  }
  return out + ")";
}

}  // namespace engine

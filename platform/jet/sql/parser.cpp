#include "platform/jet/sql/parser.h"

#include <cctype>
#include <string>
#include <vector>

#include "platform/jet/sql/lexer.h"
#include "platform/jet/sql/names.h"
#include "platform/jet/sql/sql_error.h"
#include "platform/jet/sql/types.h"
#include "platform/jet/sql/utf8.h"

namespace jet::sql {
namespace {

constexpr size_t kMaxColumns = 255;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::string Describe(const Token& token) {
  if (token.kind == TokenKind::kEnd) return "the end of the statement";
  return Shown(token.raw);
}

// Keywords that begin a table-level constraint rather than a column.
bool StartsConstraint(const std::vector<Token>& t) {
  if (t.size() < 2) return false;
  if (t[0].IsKeyword("CONSTRAINT")) return true;
  if ((t[0].IsKeyword("PRIMARY") || t[0].IsKeyword("FOREIGN")) && t[1].IsKeyword("KEY")) return true;
  return (t[0].IsKeyword("UNIQUE") || t[0].IsKeyword("CHECK")) && t[1].IsSymbol('(');
}

bool IsNameToken(const Token& t) { return t.kind == TokenKind::kWord || t.kind == TokenKind::kName; }

// "(a [ASC | DESC], b ...)" from t[*i] on, for an index on `owner` ("table t").
Status ParseIndexColumns(const std::vector<Token>& t, size_t* i, IndexSpec* index, std::string_view owner) {
  if (!t[*i].IsSymbol('('))
    return SqlError(ErrorCode::kSyntax, "Syntax error in the index of {}: expected '(', found {}.", owner,
                    Describe(t[*i]));
  ++*i;
  while (true) {
    if (!IsNameToken(t[*i]))
      return SqlError(ErrorCode::kSyntax, "Syntax error in the index of {}: expected a column name, found {}.", owner,
                      Describe(t[*i]));
    IndexSpec::Column column{t[*i].Value(), true};
    ++*i;
    if (t[*i].IsKeyword("ASC")) {
      ++*i;
    } else if (t[*i].IsKeyword("DESC")) {
      column.ascending = false;
      ++*i;
    }
    index->columns.push_back(std::move(column));
    if (t[*i].IsSymbol(',')) {
      ++*i;
      continue;
    }
    if (t[*i].IsSymbol(')')) {
      ++*i;
      return {};
    }
    return SqlError(ErrorCode::kSyntax, "Syntax error in the index of {}: expected ',' or ')', found {}.", owner,
                    Describe(t[*i]));
  }
}

// "(a, b, ...)" from t[*i] on: the columns of a relationship.
Status ParseNameList(const std::vector<Token>& t, size_t* i, std::vector<std::string>* names, std::string_view owner) {
  if (!t[*i].IsSymbol('('))
    return SqlError(ErrorCode::kSyntax, "Syntax error in the relationship of {}: expected '(', found {}.", owner,
                    Describe(t[*i]));
  ++*i;
  while (true) {
    if (!IsNameToken(t[*i]))
      return SqlError(ErrorCode::kSyntax, "Syntax error in the relationship of {}: expected a column name, found {}.",
                      owner, Describe(t[*i]));
    names->push_back(t[*i].Value());
    ++*i;
    if (t[*i].IsSymbol(',')) {
      ++*i;
      continue;
    }
    if (t[*i].IsSymbol(')')) {
      ++*i;
      return {};
    }
    return SqlError(ErrorCode::kSyntax, "Syntax error in the relationship of {}: expected ',' or ')', found {}.",
                    owner, Describe(t[*i]));
  }
}

// After REFERENCES: table [(columns)] [ON UPDATE ...] [ON DELETE ...].
Status ParseReferences(const std::vector<Token>& t, size_t* i, ForeignKeySpec* key, std::string_view owner) {
  if (!IsNameToken(t[*i]))
    return SqlError(ErrorCode::kSyntax, "Syntax error in the relationship of {}: expected a table name after "
                    "REFERENCES, found {}.", owner, Describe(t[*i]));
  key->referenced_table = t[*i].Value();
  JET_TRY(CheckName(key->referenced_table, "table"));
  ++*i;
  if (t[*i].IsSymbol('(')) JET_TRY(ParseNameList(t, i, &key->referenced_columns, owner));
  bool update_seen = false, delete_seen = false;
  while (t[*i].IsKeyword("ON")) {
    const bool on_update = t[*i + 1].IsKeyword("UPDATE");
    if (!on_update && !t[*i + 1].IsKeyword("DELETE"))
      return SqlError(ErrorCode::kSyntax, "Syntax error in the relationship of {}: expected UPDATE or DELETE after "
                      "ON, found {}.", owner, Describe(t[*i + 1]));
    bool& seen = on_update ? update_seen : delete_seen;
    if (seen)
      return SqlError(ErrorCode::kSyntax, "Syntax error in the relationship of {}: ON {} is given twice.", owner,
                      on_update ? "UPDATE" : "DELETE");
    seen = true;
    *i += 2;
    const Token& action = t[*i];
    if (action.IsKeyword("CASCADE")) {
      (on_update ? key->cascade_update : key->cascade_delete) = true;
      ++*i;
    } else if (action.IsKeyword("SET") && t[*i + 1].IsKeyword("NULL")) {
      if (on_update)
        return SqlError(ErrorCode::kNotSupported,
                        "The relationship of {} cannot be made with ON UPDATE SET NULL: an Access database stores "
                        "cascading updates, cascading deletes and setting NULL on delete only. Use ON UPDATE CASCADE "
                        "or leave it out.",
                        owner);
      key->set_null_on_delete = true;
      *i += 2;
    } else if (action.IsKeyword("NO") && t[*i + 1].IsKeyword("ACTION")) {
      *i += 2;  // what an enforced relationship does anyway
    } else {
      return SqlError(ErrorCode::kSyntax, "Syntax error in the relationship of {}: expected CASCADE, SET NULL or NO "
                      "ACTION after ON {}, found {}.", owner, on_update ? "UPDATE" : "DELETE", Describe(action));
    }
  }
  return {};
}

// A constraint from t[*i] on: [CONSTRAINT name] then PRIMARY KEY, UNIQUE,
// REFERENCES (on a column: `column` names it) or FOREIGN KEY (of the table:
// `column` empty, the key's columns follow). Keys go to `indexes`,
// relationships to `keys`; checks are refused.
Status ParseConstraint(const std::vector<Token>& t, size_t* i, std::string_view column, std::string_view owner,
                       std::vector<IndexSpec>* indexes, std::vector<ForeignKeySpec>* keys) {
  std::string name;
  if (t[*i].IsKeyword("CONSTRAINT")) {
    if (!IsNameToken(t[*i + 1]))
      return SqlError(ErrorCode::kSyntax, "Syntax error in CONSTRAINT of {}: expected its name, found {}.", owner,
                      Describe(t[*i + 1]));
    name = t[*i + 1].Value();
    JET_TRY(CheckName(name, "index"));
    *i += 2;
  }
  const bool on_column = !column.empty();
  if ((t[*i].IsKeyword("FOREIGN") && t[*i + 1].IsKeyword("KEY") && !on_column) ||
      (t[*i].IsKeyword("REFERENCES") && on_column)) {
    ForeignKeySpec key;
    key.name = std::move(name);
    if (on_column) {
      key.columns.push_back(std::string(column));
      ++*i;
    } else {
      *i += 2;
      JET_TRY(ParseNameList(t, i, &key.columns, owner));
      if (!t[*i].IsKeyword("REFERENCES"))
        return SqlError(ErrorCode::kSyntax, "Syntax error in the relationship of {}: expected REFERENCES, found {}.",
                        owner, Describe(t[*i]));
      ++*i;
    }
    JET_TRY(ParseReferences(t, i, &key, owner));
    keys->push_back(std::move(key));
    return {};
  }
  IndexSpec index;
  index.name = std::move(name);
  if (t[*i].IsKeyword("PRIMARY") && t[*i + 1].IsKeyword("KEY")) {
    index.primary = true;
    *i += 2;
  } else if (t[*i].IsKeyword("UNIQUE")) {
    index.unique = true;
    ++*i;
  } else if (t[*i].IsKeyword("CHECK")) {
    return SqlError(ErrorCode::kNotSupported, "{}: CHECK constraints are not supported.", owner);
  } else {
    return SqlError(ErrorCode::kSyntax, "Syntax error in the constraint of {}: expected PRIMARY KEY, UNIQUE or {}, "
                    "found {}.", owner, on_column ? "REFERENCES" : "FOREIGN KEY", Describe(t[*i]));
  }
  if (on_column) index.columns.push_back({std::string(column), true});
  else JET_TRY(ParseIndexColumns(t, i, &index, "the constraint"));
  indexes->push_back(std::move(index));
  return {};
}

// The type part of a column definition: type words, optional (n[, m]), then
// NOT NULL / NULL / WITH COMPRESSION / DEFAULT literal / [CONSTRAINT name]
// PRIMARY KEY | UNIQUE | REFERENCES .... `recognized` tells whether the text
// began with a type name, so that its failure is worth reporting. Keys on the
// column go to `indexes`, its relationship to `keys`.
Status ParseColumnType(std::string_view text, ColumnSpec* column, bool* recognized, std::vector<IndexSpec>* indexes,
                       std::vector<ForeignKeySpec>* keys) {
  *recognized = false;
  auto tokens_result = Tokenize(text);
  if (!tokens_result) return tokens_result.error();
  const std::vector<Token>& t = *tokens_result;
  size_t i = 0;
  if (t[i].kind != TokenKind::kWord) {
    return SqlError(ErrorCode::kSyntax, "Column {} has no data type.", Shown(column->name));
  }
  std::string phrase(t[i++].raw);
  if (!IsTypePhrasePrefix(phrase)) {
    return SqlError(ErrorCode::kSyntax, "Unknown data type {} for column {}.", Shown(phrase), Shown(column->name));
  }
  while (t[i].kind == TokenKind::kWord && IsTypePhrasePrefix(phrase + " " + std::string(t[i].raw))) {
    phrase += " ";
    phrase += t[i++].raw;
  }
  *recognized = true;
  std::optional<std::vector<int64_t>> args;
  if (t[i].IsSymbol('(')) {
    args.emplace();
    ++i;
    while (true) {
      bool negative = false;
      if (t[i].IsSymbol('-') || t[i].IsSymbol('+')) negative = t[i++].IsSymbol('-');
      if (t[i].kind != TokenKind::kNumber || t[i].raw.find_first_not_of("0123456789") != std::string_view::npos) {
        return SqlError(ErrorCode::kSyntax, "Column {}: expected a whole number in the size of {}, found {}.",
                        Shown(column->name), phrase, Describe(t[i]));
      }
      int64_t value = 0;
      for (char c : t[i].raw) value = value > 100000000 ? value : value * 10 + (c - '0');
      args->push_back(negative ? -value : value);
      ++i;
      if (t[i].IsSymbol(',')) {
        ++i;
        continue;
      }
      if (t[i].IsSymbol(')')) {
        ++i;
        break;
      }
      return SqlError(ErrorCode::kSyntax, "Column {}: expected ',' or ')' in the size of {}, found {}.",
                      Shown(column->name), phrase, Describe(t[i]));
    }
  }
  if (auto applied = ApplyColumnType(phrase, args, column); !applied) {
    Error e = applied.error();
    e.message += fmt::format(" (column {})", Shown(column->name));
    return e;
  }
  while (t[i].kind != TokenKind::kEnd) {
    if (t[i].IsKeyword("NOT") && t[i + 1].IsKeyword("NULL")) {
      column->not_null = true;
      i += 2;
    } else if (t[i].IsKeyword("NULL")) {
      ++i;
    } else if (t[i].IsKeyword("WITH") && (t[i + 1].IsKeyword("COMPRESSION") || t[i + 1].IsKeyword("COMP"))) {
      i += 2;  // the storage layer decides about Unicode compression itself
    } else if (t[i].IsKeyword("PRIMARY") || t[i].IsKeyword("UNIQUE") || t[i].IsKeyword("CONSTRAINT") ||
               t[i].IsKeyword("REFERENCES") || t[i].IsKeyword("CHECK")) {
      JET_TRY(ParseConstraint(t, &i, column->name, "column " + Shown(column->name), indexes, keys));
    } else if (t[i].IsKeyword("DEFAULT")) {
      ++i;
      std::string sign;
      if (t[i].IsSymbol('-') || t[i].IsSymbol('+')) sign = std::string(t[i++].raw);
      const Token& v = t[i];
      // Stored as Access writes a default: the expression's text, texts in double quotes.
      if (v.kind == TokenKind::kNumber) {
        column->default_value = sign + std::string(v.raw);
      } else if (sign.empty() && v.kind == TokenKind::kString) {
        std::string quoted = "\"";
        for (char c : v.Value()) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        column->default_value = quoted + "\"";
      } else if (sign.empty() && v.kind == TokenKind::kDate) {
        column->default_value = std::string(v.raw);
      } else if (sign.empty() && (v.IsKeyword("True") || v.IsKeyword("False") || v.IsKeyword("Yes") ||
                                  v.IsKeyword("No") || v.IsKeyword("On") || v.IsKeyword("Off"))) {
        column->default_value = std::string(v.raw);
      } else if (sign.empty() && v.IsKeyword("NULL")) {
        column->default_value.clear();
      } else {
        return SqlError(ErrorCode::kNotSupported,
                        "Column {}: DEFAULT takes a number, a text, a #date# or True/False, not {}.",
                        Shown(column->name), Describe(v));
      }
      ++i;
    } else {
      return SqlError(ErrorCode::kSyntax, "Column {}: unexpected {} after the data type {}.", Shown(column->name),
                      Describe(t[i]), phrase);
    }
  }
  return {};
}

// True when a bare multi-word name holds a whole type phrase followed by more
// words ("a INT b"): that is a missing comma, not a name.
bool HidesTypeInside(std::string_view name) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < name.size()) {
    while (i < name.size() && IsSpace(name[i])) ++i;
    size_t start = i;
    while (i < name.size() && !IsSpace(name[i])) ++i;
    if (i > start) words.push_back(name.substr(start, i - start));
  }
  for (size_t w = 0; w + 1 < words.size(); ++w) {
    if (IsTypePhrasePrefix(words[w])) return true;
  }
  return false;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text), lexer_(text) {}

  Result<Statement> Run() {
    JET_TRY(Fill());
    if (Peek().kind == TokenKind::kEnd) return SqlError(ErrorCode::kSyntax, "The statement is empty.");
    Result<Statement> statement = ParseStatement();
    if (!statement) return statement;
    JET_TRY(ExpectEnd());
    return statement;
  }

  Status RunInsert(InsertInto& insert) {
    const std::string_view head = insert.head;
    if (!head.empty() && text_.size() > head.size() && text_.substr(0, head.size()) == head) {
      size_t count = 0;
      size_t end = 0;
      if (ReadPlainValues(head.size(), insert, &count, &end)) {
        JET_TRY(Restart(end));
        JET_TRY(CheckValueCount(insert));
        return ExpectEnd();
      }
    }
    insert.head.clear();
    JET_TRY(Fill());
    if (!Peek().IsKeyword("INSERT")) {
      auto other = Run();  // the failure Parse gives this text, or the reason it is not an INSERT
      if (!other) return other.error();
      return SqlError(ErrorCode::kSyntax, "Expected an INSERT INTO statement.");
    }
    JET_TRY(Take());
    JET_TRY(ParseInsertInto(insert));
    return ExpectEnd();
  }

 private:
  Status ExpectEnd() {
    if (Peek().IsSymbol(';')) JET_TRY(Take());
    if (Peek().kind != TokenKind::kEnd) {
      return SqlError(ErrorCode::kSyntax,
                      "Only one statement can be executed at a time: unexpected {} at position {} after the end of "
                      "the statement.",
                      Describe(Peek()), Peek().offset + 1);
    }
    return {};
  }

  // Two tokens of lookahead, in a fixed pair (this runs for every token of
  // every INSERT, so no container churn).
  Status Fill() {
    while (ahead_count_ < 2) {
      JET_ASSIGN_OR_RETURN(token, lexer_.Next());
      ahead_[ahead_count_++] = token;
    }
    return {};
  }
  const Token& Peek(size_t k = 0) const { return ahead_[k]; }
  Result<Token> Take() {
    Token token = ahead_[0];
    ahead_[0] = ahead_[1];
    ahead_count_ = 1;
    JET_TRY(Fill());
    return token;
  }
  // Moves the lexer to `pos` and refills the lookahead from there.
  Status Restart(size_t pos) {
    ahead_count_ = 0;
    lexer_.set_position(pos);
    return Fill();
  }

  Status Expect(std::string_view keyword, std::string_view statement) {
    if (!Peek().IsKeyword(keyword)) {
      return SqlError(ErrorCode::kSyntax, "Syntax error in {}: expected {}, found {}.", statement, keyword,
                      Describe(Peek()));
    }
    JET_TRY(Take());
    return {};
  }
  Status ExpectSymbol(char c, std::string_view where, std::string_view statement) {
    if (!Peek().IsSymbol(c)) {
      return SqlError(ErrorCode::kSyntax, "Syntax error in {}: expected '{}' {}, found {}.", statement, c, where,
                      Describe(Peek()));
    }
    JET_TRY(Take());
    return {};
  }

  Result<std::string> TakeName(std::string_view what, std::string_view statement) {
    const Token& t = Peek();
    if (t.kind != TokenKind::kWord && t.kind != TokenKind::kName) {
      return SqlError(ErrorCode::kSyntax, "Syntax error in {}: expected a {} name, found {}.", statement, what,
                      Describe(t));
    }
    std::string name = t.Value();
    JET_TRY(CheckName(name, what));
    JET_TRY(Take());
    return name;
  }

  Result<Statement> ParseStatement() {
    JET_ASSIGN_OR_RETURN(first, Take());
    if (first.IsKeyword("CREATE")) {
      if (Peek().IsKeyword("INDEX") || (Peek().IsKeyword("UNIQUE") && Peek(1).IsKeyword("INDEX")))
        return ParseCreateIndex();
      return ParseCreateTable();
    }
    if (first.IsKeyword("INSERT")) return ParseInsert();
    if (first.IsKeyword("ALTER")) return ParseAlterTable();
    if (first.IsKeyword("DROP") && Peek().IsKeyword("INDEX")) {
      JET_TRY(Take());
      DropIndex drop;
      JET_ASSIGN_OR_RETURN(index, TakeName("index", "DROP INDEX"));
      JET_TRY(Expect("ON", "DROP INDEX"));
      JET_ASSIGN_OR_RETURN(table, TakeName("table", "DROP INDEX"));
      drop.index = std::move(index);
      drop.table = std::move(table);
      return Statement{std::move(drop)};
    }
    if (first.IsKeyword("DROP")) {
      JET_TRY(Expect("TABLE", "DROP TABLE"));
      JET_ASSIGN_OR_RETURN(table, TakeName("table", "DROP TABLE"));
      return Statement{DropTable{std::move(table)}};
    }
    if (first.IsKeyword("SELECT")) {
      JET_TRY(ExpectSymbol('*', "after SELECT (only SELECT * FROM table is supported)", "SELECT"));
      JET_TRY(Expect("FROM", "SELECT"));
      JET_ASSIGN_OR_RETURN(table, TakeName("table", "SELECT"));
      return Statement{Select{std::move(table)}};
    }
    return SqlError(ErrorCode::kSyntax,
                    "Invalid SQL statement; expected CREATE TABLE, CREATE INDEX, ALTER TABLE, INSERT INTO, DROP TABLE, "
                    "DROP INDEX or SELECT, found {}.",
                    Describe(first));
  }

  // CREATE TABLE name (column type, ...). Column definitions are read from the
  // text itself: a bare column name is everything before its type, so that
  // reserved words and names with blanks ("first name TEXT") are taken as
  // written.
  Result<Statement> ParseCreateTable() {
    JET_TRY(Expect("TABLE", "CREATE TABLE"));
    CreateTable create;
    JET_ASSIGN_OR_RETURN(table, TakeName("table", "CREATE TABLE"));
    create.table = std::move(table);
    if (!Peek().IsSymbol('(')) {
      return SqlError(ErrorCode::kSyntax, "Syntax error in CREATE TABLE: expected '(' after the table name, found {}.",
                      Describe(Peek()));
    }
    size_t pos = Peek().offset + 1;
    while (true) {
      JET_ASSIGN_OR_RETURN(end, SegmentEnd(pos));
      ColumnSpec column;
      JET_TRY(ParseColumnDefinition(text_.substr(pos, end - pos), &column, &create.indexes, &create.foreign_keys));
      if (column.name.empty()) {  // a table constraint
        pos = end + 1;
        if (text_[end] == ')') break;
        continue;
      }
      for (const auto& other : create.columns) {
        if (SameName(other.name, column.name)) {
          return SqlError(ErrorCode::kAlreadyExists, "Column {} is defined twice in table {}.", Shown(column.name),
                          Shown(create.table));
        }
      }
      create.columns.push_back(std::move(column));
      if (create.columns.size() > kMaxColumns) {
        return SqlError(ErrorCode::kTooLarge, "Table {} has more than {} columns, the most Access allows.",
                        Shown(create.table), kMaxColumns);
      }
      pos = end + 1;
      if (text_[end] == ')') break;
    }
    JET_TRY(Restart(pos));
    return Statement{std::move(create)};
  }

  // The rest of the statement as tokens, without a final semicolon; Restart
  // moves the lexer to its end.
  Result<std::vector<Token>> RestAsTokens(size_t* stop) {
    size_t start = Peek().offset;
    *stop = text_.size();
    while (*stop > start && IsSpace(text_[*stop - 1])) --*stop;
    if (*stop > start && text_[*stop - 1] == ';') --*stop;
    return Tokenize(text_.substr(start, *stop - start));
  }

  // ALTER TABLE t ADD CONSTRAINT name {PRIMARY KEY | UNIQUE} (column, ...):
  // the index CREATE INDEX would make; ... FOREIGN KEY (...) REFERENCES ...: a
  // relationship. ALTER TABLE t DROP CONSTRAINT name: the index or relationship.
  Result<Statement> ParseAlterTable() {
    JET_TRY(Expect("TABLE", "ALTER TABLE"));
    JET_ASSIGN_OR_RETURN(table, TakeName("table", "ALTER TABLE"));
    if (Peek().IsKeyword("DROP")) {
      JET_TRY(Take());
      JET_TRY(Expect("CONSTRAINT", "ALTER TABLE ... DROP"));
      JET_ASSIGN_OR_RETURN(name, TakeName("constraint", "ALTER TABLE ... DROP CONSTRAINT"));
      return Statement{DropIndex{std::move(table), std::move(name), true}};
    }
    if (!Peek().IsKeyword("ADD"))
      return SqlError(ErrorCode::kNotSupported,
                      "ALTER TABLE takes ADD CONSTRAINT and DROP CONSTRAINT; found {} (columns cannot be changed).",
                      Describe(Peek()));
    JET_TRY(Take());
    if (!Peek().IsKeyword("CONSTRAINT"))
      return SqlError(ErrorCode::kNotSupported, "ALTER TABLE ... ADD takes CONSTRAINT name ...; found {} (columns "
                      "cannot be added).", Describe(Peek()));
    size_t stop = 0;
    JET_ASSIGN_OR_RETURN(tokens, RestAsTokens(&stop));
    const std::vector<Token>& t = tokens;
    size_t i = 0;
    std::vector<IndexSpec> indexes;
    std::vector<ForeignKeySpec> keys;
    JET_TRY(ParseConstraint(t, &i, "", "table " + Shown(table), &indexes, &keys));
    if (t[i].kind != TokenKind::kEnd)
      return SqlError(ErrorCode::kSyntax, "Syntax error in ALTER TABLE: unexpected {}.", Describe(t[i]));
    JET_TRY(Restart(stop));
    if (!keys.empty()) return Statement{AddForeignKey{std::move(table), std::move(keys.front())}};
    return Statement{CreateIndex{std::move(table), std::move(indexes.front())}};
  }

  // CREATE [UNIQUE] INDEX name ON table (column [ASC | DESC], ...)
  //   [WITH PRIMARY | WITH DISALLOW NULL | WITH IGNORE NULL]
  Result<Statement> ParseCreateIndex() {
    CreateIndex create;
    if (Peek().IsKeyword("UNIQUE")) {
      create.index.unique = true;
      JET_TRY(Take());
    }
    JET_TRY(Expect("INDEX", "CREATE INDEX"));
    JET_ASSIGN_OR_RETURN(name, TakeName("index", "CREATE INDEX"));
    create.index.name = std::move(name);
    JET_TRY(Expect("ON", "CREATE INDEX"));
    JET_ASSIGN_OR_RETURN(table, TakeName("table", "CREATE INDEX"));
    create.table = std::move(table);
    // The rest is short: read it as tokens.
    size_t stop = 0;
    JET_ASSIGN_OR_RETURN(tokens, RestAsTokens(&stop));
    const std::vector<Token>& t = tokens;
    size_t i = 0;
    JET_TRY(ParseIndexColumns(t, &i, &create.index, "index " + Shown(create.index.name)));
    if (t[i].IsKeyword("WITH")) {
      if (t[i + 1].IsKeyword("PRIMARY")) {
        create.index.primary = true;
        i += 2;
      } else if (t[i + 1].IsKeyword("DISALLOW") && t[i + 2].IsKeyword("NULL")) {
        create.index.disallow_null = true;
        i += 3;
      } else if (t[i + 1].IsKeyword("IGNORE") && t[i + 2].IsKeyword("NULL")) {
        create.index.ignore_null = true;
        i += 3;
      } else {
        return SqlError(ErrorCode::kSyntax,
                        "Syntax error in CREATE INDEX: expected PRIMARY, DISALLOW NULL or IGNORE NULL after WITH, "
                        "found {}.",
                        Describe(t[i + 1]));
      }
    }
    if (t[i].kind != TokenKind::kEnd)
      return SqlError(ErrorCode::kSyntax, "Syntax error in CREATE INDEX: unexpected {}.", Describe(t[i]));
    JET_TRY(Restart(stop));
    return Statement{std::move(create)};
  }

  // Where the column definition starting at `pos` ends: the ',' or ')' outside
  // parentheses and quotes.
  Result<size_t> SegmentEnd(size_t pos) const {
    size_t i = pos;
    while (i < text_.size() && IsSpace(text_[i])) ++i;
    if (i < text_.size() && (text_[i] == '"' || text_[i] == '[')) {
      const char close = text_[i] == '[' ? ']' : '"';
      ++i;
      while (i < text_.size()) {
        if (text_[i] == close) {
          if (close == '"' && i + 1 < text_.size() && text_[i + 1] == '"') {
            i += 2;
            continue;
          }
          break;
        }
        ++i;
      }
      if (i >= text_.size()) {
        return SqlError(ErrorCode::kSyntax, "Syntax error in CREATE TABLE: a column name is not closed.");
      }
      ++i;
    }
    int depth = 0;
    for (; i < text_.size(); ++i) {
      const char c = text_[i];
      if (c == '\'' && i > pos && (IsSpace(text_[i - 1]) || text_[i - 1] == '(')) {
        const size_t close = text_.find('\'', i + 1);
        if (close == std::string_view::npos) break;
        i = close;
      } else if (c == '(') {
        ++depth;
      } else if (c == ')') {
        if (depth == 0) return i;
        --depth;
      } else if (c == ',' && depth == 0) {
        return i;
      }
    }
    return SqlError(ErrorCode::kSyntax, "Syntax error in CREATE TABLE: the column list is not closed with ')'.");
  }

  // A column definition (into `column`) or a table constraint (into
  // `indexes` or `keys`, `column` left without a name); keys on the column go
  // to `indexes`, its relationship to `keys`.
  Status ParseColumnDefinition(std::string_view definition, ColumnSpec* column, std::vector<IndexSpec>* indexes,
                               std::vector<ForeignKeySpec>* keys) {
    std::string_view text = Trim(definition);
    if (text.empty()) {
      return SqlError(ErrorCode::kSyntax, "Syntax error in CREATE TABLE: a column definition is missing.");
    }
    if (text.front() == '"' || text.front() == '[') {
      Lexer lexer(text);
      JET_ASSIGN_OR_RETURN(name_token, lexer.Next());
      column->name = name_token.Value();
      JET_TRY(CheckName(column->name, "column"));
      bool recognized = false;
      return ParseColumnType(text.substr(lexer.position()), column, &recognized, indexes, keys);
    }
    if (auto tokens = Tokenize(text); tokens && StartsConstraint(*tokens)) {
      const std::vector<Token>& t = *tokens;
      size_t i = 0;
      JET_TRY(ParseConstraint(t, &i, "", "table", indexes, keys));
      if (t[i].kind != TokenKind::kEnd)
        return SqlError(ErrorCode::kSyntax, "Syntax error in the constraint {}: unexpected {}.", Shown(text),
                        Describe(t[i]));
      return {};
    }
    // Try the shortest name first: "date DATE" is the column date of type DATE.
    // Failing that, report the first attempt that got as far as a known type.
    std::optional<Error> first_failure;
    bool failure_recognized = false;
    for (size_t split = 1; split < text.size(); ++split) {
      if (!IsSpace(text[split]) || IsSpace(text[split - 1])) continue;
      ColumnSpec candidate;
      candidate.name = std::string(Trim(text.substr(0, split)));
      bool recognized = false;
      std::vector<IndexSpec> column_indexes;
      std::vector<ForeignKeySpec> column_keys;
      Status parsed = ParseColumnType(text.substr(split), &candidate, &recognized, &column_indexes, &column_keys);
      if (parsed) {
        if (HidesTypeInside(candidate.name)) continue;
        JET_TRY(CheckName(candidate.name, "column"));
        *column = std::move(candidate);
        for (auto& index : column_indexes) indexes->push_back(std::move(index));
        for (auto& key : column_keys) keys->push_back(std::move(key));
        return {};
      }
      if (!first_failure || (recognized && !failure_recognized)) {
        first_failure = parsed.error();
        failure_recognized = recognized;
      }
    }
    if (first_failure) return *first_failure;
    JET_TRY(CheckName(text, "column"));
    return SqlError(ErrorCode::kSyntax, "Column {} has no data type.", Shown(text));
  }

  // Whether a name token spells `before` (a name read by an earlier statement
  // into the same buffer) without any quote to undo.
  static bool SameNameAsBefore(const Token& t, std::string_view before) {
    if (before.empty()) return false;
    if (t.kind == TokenKind::kWord) return t.raw == before;
    if (t.kind != TokenKind::kName) return false;
    std::string_view inside = t.raw.substr(1, t.raw.size() - 2);
    if (t.raw.front() == '"' && inside.find('"') != std::string_view::npos) return false;
    return inside == before;
  }

  Result<Statement> ParseInsert() {
    InsertInto insert;
    JET_TRY(ParseInsertInto(insert));
    return Statement{std::move(insert)};
  }

  // After INSERT: the rest of the statement into `insert`, reusing its buffers.
  Status ParseInsertInto(InsertInto& insert) {
    constexpr std::string_view kWhere = "INSERT INTO";
    JET_TRY(Expect("INTO", kWhere));
    if (SameNameAsBefore(Peek(), insert.table)) {
      JET_TRY(Take());  // checked when it was read before
    } else {
      JET_ASSIGN_OR_RETURN(table, TakeName("table", kWhere));
      insert.table = std::move(table);
    }
    insert.columns.reset();
    if (Peek().IsSymbol('(')) {
      JET_TRY(Take());
      insert.columns.emplace();
      while (true) {
        JET_ASSIGN_OR_RETURN(name, TakeName("column", kWhere));
        for (const auto& other : *insert.columns) {
          if (SameName(other, name)) {
            return SqlError(ErrorCode::kSyntax, "Column {} is named twice in INSERT INTO {}.", Shown(name),
                            Shown(insert.table));
          }
        }
        insert.columns->push_back(std::move(name));
        if (Peek().IsSymbol(',')) {
          JET_TRY(Take());
          continue;
        }
        JET_TRY(ExpectSymbol(')', "after the column names", kWhere));
        break;
      }
    }
    JET_TRY(Expect("VALUES", kWhere));
    const size_t values_at = Peek().offset + 1;
    JET_TRY(ExpectSymbol('(', "after VALUES", kWhere));
    insert.head.assign(text_.substr(0, values_at));
    size_t count = 0;  // values read; insert.values beyond it are spare buffers
    size_t end = 0;
    const bool plain = ReadPlainValues(Peek().offset, insert, &count, &end);
    if (plain) JET_TRY(Restart(end));
    else count = 0;
    while (!plain) {
      if (count == insert.values.size()) insert.values.emplace_back();
      JET_TRY(ParseValue(insert, count + 1, insert.values[count]));
      ++count;
      if (Peek().IsSymbol(',')) {
        JET_TRY(Take());
        continue;
      }
      if (!Peek().IsSymbol(')')) {
        return SqlError(ErrorCode::kSyntax, "Syntax error in INSERT INTO {}: expected ',' or ')' after value {}, found {}.",
                        Shown(insert.table), count, Describe(Peek()));
      }
      JET_TRY(Take());
      break;
    }
    insert.values.resize(count);
    return CheckValueCount(insert);
  }

  static Status CheckValueCount(const InsertInto& insert) {
    if (insert.columns && insert.columns->size() != insert.values.size()) {
      return SqlError(ErrorCode::kInvalidValue, "INSERT INTO {} names {} columns but gives {} values.",
                      Shown(insert.table), insert.columns->size(), insert.values.size());
    }
    return {};
  }

  // The values as the program's statement builders write them (numbers,
  // 'texts', #dates#, 0x binaries, True, False and NULL, then the closing
  // parenthesis), read with the lexer alone from `pos` on, without the
  // parser's lookahead: a stream of INSERTs is mostly this. At anything else
  // it gives up and the full reader starts again at the first value, so
  // results and messages are the same.
  bool ReadPlainValues(size_t pos, InsertInto& insert, size_t* count, size_t* end) {
    Lexer lexer(text_);
    lexer.set_position(pos);
    for (size_t k = 0;; ++k) {
      auto token = lexer.Next();
      if (!token) return false;
      if (k == insert.values.size()) insert.values.emplace_back();
      Literal& out = insert.values[k];
      bool negative = false;
      if (token->IsSymbol('-') || token->IsSymbol('+')) {
        negative = token->IsSymbol('-');
        token = lexer.Next();
        if (!token || token->kind != TokenKind::kNumber) return false;
      }
      if (token->kind == TokenKind::kNumber) {
        out.kind = Literal::Kind::kNumber;
        out.text.assign(negative ? "-" : "");
        out.text.append(token->raw);
      } else if (token->kind == TokenKind::kString) {
        out.kind = Literal::Kind::kString;
        token->ValueInto(out.text);
        if (!Utf16Length(out.text)) return false;
      } else if (token->kind == TokenKind::kDate) {
        out.kind = Literal::Kind::kDate;
        token->ValueInto(out.text);
      } else if (token->kind == TokenKind::kBinary && token->raw.size() % 2 == 0) {
        out.kind = Literal::Kind::kBinary;
        token->ValueInto(out.text);
      } else if (token->IsKeyword("NULL")) {
        out.kind = Literal::Kind::kNull;
        out.text.clear();
      } else if (token->IsKeyword("True") || token->IsKeyword("False")) {
        out.kind = Literal::Kind::kBoolean;
        out.text.assign(token->IsKeyword("True") ? "True" : "False");
      } else {
        return false;
      }
      token = lexer.Next();
      if (!token) return false;
      if (token->IsSymbol(',')) continue;
      if (!token->IsSymbol(')')) return false;
      *count = k + 1;
      *end = lexer.position();
      insert.values.resize(*count);
      return true;
    }
  }

  static Status Set(Literal& out, Literal::Kind kind, std::string_view text) {
    out.kind = kind;
    out.text.assign(text);
    return {};
  }

  // Value `number` of the statement into `out` (its text buffer reused).
  Status ParseValue(const InsertInto& insert, size_t number, Literal& out) {
    bool negative = false;
    bool has_sign = false;
    if (Peek().IsSymbol('-') || Peek().IsSymbol('+')) {
      JET_ASSIGN_OR_RETURN(sign_token, Take());
      has_sign = true;
      negative = sign_token.IsSymbol('-');
    }
    const Token t = Peek();
    if (t.kind == TokenKind::kNumber || t.IsKeyword("NaN") || t.IsKeyword("Infinity") || t.IsKeyword("Inf")) {
      JET_TRY(Take());
      out.kind = Literal::Kind::kNumber;
      out.text.assign(negative ? "-" : "");
      out.text.append(t.raw);
      return {};
    }
    if (has_sign) {
      return SqlError(ErrorCode::kSyntax, "Syntax error in INSERT INTO {}: value {} has a sign but {} is not a number.",
                      Shown(insert.table), number, Describe(t));
    }
    switch (t.kind) {
      case TokenKind::kString: {
        JET_TRY(Take());
        out.kind = Literal::Kind::kString;
        t.ValueInto(out.text);
        if (!Utf16Length(out.text)) {
          return SqlError(ErrorCode::kInvalidValue, "Value {} of INSERT INTO {} is not valid UTF-8 text.", number,
                          Shown(insert.table));
        }
        if (Peek().IsSymbol('&')) return ParseTextRest(insert, number, out);
        return {};
      }
      case TokenKind::kDate:
        JET_TRY(Take());
        out.kind = Literal::Kind::kDate;
        t.ValueInto(out.text);
        return {};
      case TokenKind::kBinary:
        JET_TRY(Take());
        if ((t.raw.size() - 2) % 2 != 0) {
          return SqlError(ErrorCode::kInvalidValue, "Value {} of INSERT INTO {}: {} has an odd number of hexadecimal digits.",
                          number, Shown(insert.table), Shown(t.raw));
        }
        out.kind = Literal::Kind::kBinary;
        t.ValueInto(out.text);
        return {};
      case TokenKind::kWord:
        if (t.IsKeyword("NULL")) {
          JET_TRY(Take());
          return Set(out, Literal::Kind::kNull, {});
        }
        if (t.IsKeyword("Chr") || t.IsKeyword("ChrW")) {
          out.kind = Literal::Kind::kString;
          out.text.clear();
          JET_TRY(AppendCharacter(insert, number, out.text));
          if (Peek().IsSymbol('&')) return ParseTextRest(insert, number, out);
          return {};
        }
        for (std::string_view word : {"True", "Yes", "On"}) {
          if (t.IsKeyword(word)) {
            JET_TRY(Take());
            return Set(out, Literal::Kind::kBoolean, "True");
          }
        }
        for (std::string_view word : {"False", "No", "Off"}) {
          if (t.IsKeyword(word)) {
            JET_TRY(Take());
            return Set(out, Literal::Kind::kBoolean, "False");
          }
        }
        break;
      default:
        break;
    }
    return SqlError(ErrorCode::kSyntax,
                    "Syntax error in INSERT INTO {}: value {} ({}) is not a number, a text in single quotes, NULL, "
                    "True or False.",
                    Shown(insert.table), number, Describe(t));
  }

  // A text written as Access SQL writes one with line breaks in a single
  // line: 'one' & Chr(13) & Chr(10) & 'two'. From the first '&' on, into `out`.
  Status ParseTextRest(const InsertInto& insert, size_t number, Literal& out) {
    while (Peek().IsSymbol('&')) {
      JET_TRY(Take());
      const Token t = Peek();
      if (t.kind == TokenKind::kString) {
        JET_TRY(Take());
        std::string part;
        t.ValueInto(part);
        if (!Utf16Length(part))
          return SqlError(ErrorCode::kInvalidValue, "Value {} of INSERT INTO {} is not valid UTF-8 text.", number,
                          Shown(insert.table));
        out.text += part;
      } else if (t.IsKeyword("Chr") || t.IsKeyword("ChrW")) {
        JET_TRY(AppendCharacter(insert, number, out.text));
      } else {
        return SqlError(ErrorCode::kSyntax, "Syntax error in INSERT INTO {}: value {} joins with '&' only texts in "
                        "single quotes and Chr(n) or ChrW(n), not {}.", Shown(insert.table), number, Describe(t));
      }
    }
    return {};
  }

  // Chr(n), n 0 to 127, or ChrW(n), n a UTF-16 code unit that is no
  // surrogate: the character appended to `text` in UTF-8. Chr of 128 to 255
  // depends on the Windows code page, so it is refused.
  Status AppendCharacter(const InsertInto& insert, size_t number, std::string& text) {
    JET_ASSIGN_OR_RETURN(name, Take());
    const bool wide = name.IsKeyword("ChrW");
    const char* function = wide ? "ChrW" : "Chr";
    JET_TRY(ExpectSymbol('(', fmt::format("after {}", function), "INSERT INTO"));
    JET_ASSIGN_OR_RETURN(code, Take());
    const uint32_t limit = wide ? 0xFFFF : 0x7F;
    uint32_t value = 0;
    bool digits = code.kind == TokenKind::kNumber && !code.raw.empty() && code.raw.size() <= 6;
    for (char c : code.raw) {
      digits = digits && c >= '0' && c <= '9';
      if (digits) value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (!digits || value > limit || (value >= 0xD800 && value <= 0xDFFF))
      return SqlError(ErrorCode::kInvalidValue, "Value {} of INSERT INTO {}: {}({}) is not a character this engine "
                      "writes ({} takes 0 to {}{}).", number, Shown(insert.table), function, code.raw, function, limit,
                      wide ? ", no surrogate" : "; ChrW takes any other");
    JET_TRY(ExpectSymbol(')', fmt::format("after {}'s number", function), "INSERT INTO"));
    if (value < 0x80) {
      text += static_cast<char>(value);
    } else if (value < 0x800) {
      text += static_cast<char>(0xC0 | (value >> 6));
      text += static_cast<char>(0x80 | (value & 0x3F));
    } else {
      text += static_cast<char>(0xE0 | (value >> 12));
      text += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (value & 0x3F));
    }
    return {};
  }

  std::string_view text_;
  Lexer lexer_;
  Token ahead_[2];
  size_t ahead_count_ = 0;
};

}  // namespace

std::optional<Literal> ParseDefaultValue(std::string_view expression) {
  std::string_view text = Trim(expression);
  if (!text.empty() && text.front() == '=') text = Trim(text.substr(1));
  auto tokens = Tokenize(text);
  if (!tokens) return std::nullopt;
  const std::vector<Token>& t = *tokens;
  size_t i = 0;
  std::string sign;
  if (t[i].IsSymbol('-') || t[i].IsSymbol('+')) sign = std::string(t[i++].raw);
  if (t[i + 1].kind != TokenKind::kEnd) return std::nullopt;
  const Token& v = t[i];
  if (v.kind == TokenKind::kNumber) return Literal{Literal::Kind::kNumber, sign + std::string(v.raw)};
  if (!sign.empty()) return std::nullopt;
  if (v.kind == TokenKind::kString || (v.kind == TokenKind::kName && v.raw.front() == '"'))
    return Literal{Literal::Kind::kString, v.Value()};
  if (v.kind == TokenKind::kDate) return Literal{Literal::Kind::kDate, v.Value()};
  if (v.IsKeyword("True") || v.IsKeyword("Yes") || v.IsKeyword("On")) return Literal{Literal::Kind::kBoolean, "True"};
  if (v.IsKeyword("False") || v.IsKeyword("No") || v.IsKeyword("Off"))
    return Literal{Literal::Kind::kBoolean, "False"};
  return std::nullopt;
}

Result<Statement> Parse(std::string_view text) { return Parser(text).Run(); }

bool IsInsertStatement(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  text.remove_prefix(i);
  if (text.size() < 6 || !EqualsIgnoreCase(text.substr(0, 6), "INSERT")) return false;
  if (text.size() == 6) return true;
  const unsigned char next = static_cast<unsigned char>(text[6]);
  return !(std::isalnum(next) || next == '_' || next == '$' || next >= 0x80);
}

Status ParseInsertInto(std::string_view text, InsertInto& insert) { return Parser(text).RunInsert(insert); }

}  // namespace jet::sql

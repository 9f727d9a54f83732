#include "platform/jet/sql/parser.h"

#include <gtest/gtest.h>

#include <string>

namespace jet::sql {
namespace {

Statement MustParse(std::string_view text) {
  auto r = Parse(text);
  EXPECT_TRUE(r.has_value()) << text << "\n -> " << (r ? "" : r.error().message);
  return r ? *r : Statement{};
}

Error MustFail(std::string_view text) {
  auto r = Parse(text);
  EXPECT_FALSE(r.has_value()) << text;
  if (r) return Error{};
  EXPECT_EQ(r.error().message.rfind("SQLException: ", 0), 0u) << r.error().message;
  return r.error();
}

TEST(SqlParser, StatementsTheProgramGenerates) {
  auto drop = std::get<DropTable>(MustParse(R"(DROP TABLE "t")"));
  EXPECT_EQ(drop.table, "t");

  auto create = std::get<CreateTable>(MustParse(R"(CREATE TABLE "t" (id INT,name VARCHAR,price VARCHAR);)"));
  EXPECT_EQ(create.table, "t");
  ASSERT_EQ(create.columns.size(), 3u);
  EXPECT_EQ(create.columns[0].name, "id");
  EXPECT_EQ(create.columns[0].type, ColumnType::kLong);
  EXPECT_EQ(create.columns[1].name, "name");
  EXPECT_EQ(create.columns[1].type, ColumnType::kText);
  EXPECT_EQ(create.columns[1].max_chars, 255);
  EXPECT_EQ(create.columns[2].name, "price");

  auto insert = std::get<InsertInto>(MustParse(R"(INSERT INTO "t" VALUES(1, 'O''Brien',NULL, '08/31/2021'))"));
  EXPECT_EQ(insert.table, "t");
  EXPECT_FALSE(insert.columns.has_value());
  ASSERT_EQ(insert.values.size(), 4u);
  EXPECT_EQ(insert.values[0], (Literal{Literal::Kind::kNumber, "1"}));
  EXPECT_EQ(insert.values[1], (Literal{Literal::Kind::kString, "O'Brien"}));
  EXPECT_EQ(insert.values[2], (Literal{Literal::Kind::kNull, ""}));
  EXPECT_EQ(insert.values[3], (Literal{Literal::Kind::kString, "08/31/2021"}));

  auto second = std::get<InsertInto>(MustParse(R"(INSERT INTO "t" VALUES(2,NULL, '08/31/2021'))"));
  EXPECT_EQ(second.values.size(), 3u);
  auto third = std::get<InsertInto>(MustParse(R"(INSERT INTO "t" VALUES(NULL, 'x',NULL))"));
  EXPECT_EQ(third.values[0].kind, Literal::Kind::kNull);
}

TEST(SqlParser, WhatAUserMayTypeInThePreview) {
  auto create = std::get<CreateTable>(MustParse("  create\ttable [My Table]\r\n(\n  a text(10) not null,\n  b Memo ,"
                                                "c double precision, d decimal(10, 2), e counter, \"x\"\"y\" yesno )"));
  EXPECT_EQ(create.table, "My Table");
  ASSERT_EQ(create.columns.size(), 6u);
  EXPECT_EQ(create.columns[0].max_chars, 10);
  EXPECT_TRUE(create.columns[0].not_null);
  EXPECT_EQ(create.columns[1].type, ColumnType::kMemo);
  EXPECT_EQ(create.columns[2].type, ColumnType::kDouble);
  EXPECT_EQ(create.columns[3].type, ColumnType::kNumeric);
  EXPECT_EQ(create.columns[3].precision, 10);
  EXPECT_EQ(create.columns[3].scale, 2);
  EXPECT_TRUE(create.columns[4].auto_number);
  EXPECT_EQ(create.columns[5].name, "x\"y");

  auto insert = std::get<InsertInto>(MustParse("insert into t (a, [b c], \"d\") values (-1.5e3, +2, 'x');"));
  ASSERT_TRUE(insert.columns.has_value());
  EXPECT_EQ(*insert.columns, (std::vector<std::string>{"a", "b c", "d"}));
  EXPECT_EQ(insert.values[0].text, "-1.5e3");
  EXPECT_EQ(insert.values[1].text, "2");

  auto values = std::get<InsertInto>(MustParse("INSERT INTO t VALUES (True, no, ON, #2021-08-31#, 0x0aFF, .5, NaN, -Infinity)"));
  EXPECT_EQ(values.values[0], (Literal{Literal::Kind::kBoolean, "True"}));
  EXPECT_EQ(values.values[1], (Literal{Literal::Kind::kBoolean, "False"}));
  EXPECT_EQ(values.values[2], (Literal{Literal::Kind::kBoolean, "True"}));
  EXPECT_EQ(values.values[3], (Literal{Literal::Kind::kDate, "2021-08-31"}));
  EXPECT_EQ(values.values[4], (Literal{Literal::Kind::kBinary, "0aFF"}));
  EXPECT_EQ(values.values[5].text, ".5");
  EXPECT_EQ(values.values[6], (Literal{Literal::Kind::kNumber, "NaN"}));  // refused on conversion
  EXPECT_EQ(values.values[7], (Literal{Literal::Kind::kNumber, "-Infinity"}));
  // 0x alone: the empty binary value; 0xyz is no binary at all.
  EXPECT_EQ(std::get<InsertInto>(MustParse("INSERT INTO t VALUES (0x, 0X)")).values[1],
            (Literal{Literal::Kind::kBinary, ""}));
  MustFail("INSERT INTO t VALUES (0xyz)");

  EXPECT_EQ(std::get<Select>(MustParse("select * from [t]")).table, "t");
  EXPECT_EQ(std::get<DropTable>(MustParse("DROP TABLE Orders;  \n")).table, "Orders");
}

TEST(SqlParser, ColumnNamesAreTakenByPosition) {
  auto create = std::get<CreateTable>(
      MustParse("CREATE TABLE \"t\" (date DATE,name VARCHAR,user INT,order INT,value FLOAT,position INT,"
                "text TEXT,int INT,first name VARCHAR,order date TEXT,Größe VARCHAR,price(usd) FLOAT,not null INT)"));
  std::vector<std::string> names;
  for (const auto& c : create.columns) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::string>{"date", "name", "user", "order", "value", "position", "text", "int",
                                             "first name", "order date", "Größe", "price(usd)", "not null"}));
  EXPECT_EQ(create.columns[0].type, ColumnType::kDateTime);
  EXPECT_EQ(create.columns[6].type, ColumnType::kMemo);
  EXPECT_EQ(create.columns[9].type, ColumnType::kMemo);
  // Names PostgreSQL allows and the program writes bare.
  auto odd = std::get<CreateTable>(MustParse("CREATE TABLE \"t\" (o'clock INT,a-b VARCHAR,50% FLOAT,2nd TEXT,x#1 INT)"));
  names.clear();
  for (const auto& c : odd.columns) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::string>{"o'clock", "a-b", "50%", "2nd", "x#1"}));
  // A forgotten comma is not taken for a name with blanks.
  EXPECT_NE(MustFail("CREATE TABLE t (a INT b INT)").message.find("'b'"), std::string::npos);
}

TEST(SqlParser, TypeWords) {
  struct Case {
    const char* type;
    ColumnType expected;
    int max_chars = 255;
  };
  const Case cases[] = {
      {"VARCHAR", ColumnType::kText},       {"CHAR", ColumnType::kText},        {"TEXT", ColumnType::kMemo},
      {"TEXT(20)", ColumnType::kText, 20},  {"VARCHAR(1)", ColumnType::kText, 1}, {"CHAR(255)", ColumnType::kText},
      {"MEMO", ColumnType::kMemo},          {"LONGTEXT", ColumnType::kMemo},    {"LONGCHAR", ColumnType::kMemo},
      {"NOTE", ColumnType::kMemo},          {"INT", ColumnType::kLong},         {"INTEGER", ColumnType::kLong},
      {"LONG", ColumnType::kLong},          {"SMALLINT", ColumnType::kInteger}, {"SHORT", ColumnType::kInteger},
      {"BYTE", ColumnType::kByte},          {"TINYINT", ColumnType::kByte},     {"REAL", ColumnType::kSingle},
      {"SINGLE", ColumnType::kSingle},      {"FLOAT", ColumnType::kDouble},     {"DOUBLE", ColumnType::kDouble},
      {"DECIMAL", ColumnType::kNumeric},    {"NUMERIC(5)", ColumnType::kNumeric}, {"MONEY", ColumnType::kMoney},
      {"CURRENCY", ColumnType::kMoney},     {"DATETIME", ColumnType::kDateTime}, {"DATE", ColumnType::kDateTime},
      {"TIME", ColumnType::kDateTime},      {"BIT", ColumnType::kBoolean},      {"YESNO", ColumnType::kBoolean},
      {"LOGICAL", ColumnType::kBoolean},    {"COUNTER", ColumnType::kLong},     {"AUTOINCREMENT", ColumnType::kLong},
      {"GUID", ColumnType::kGuid},          {"BINARY(16)", ColumnType::kBinary, 16}, {"VARBINARY", ColumnType::kBinary},
      {"LONGBINARY", ColumnType::kOle},     {"OLEOBJECT", ColumnType::kOle},
  };
  for (const auto& c : cases) {
    auto create = std::get<CreateTable>(MustParse(std::string("CREATE TABLE t (x ") + c.type + ")"));
    ASSERT_EQ(create.columns.size(), 1u);
    EXPECT_EQ(create.columns[0].type, c.expected) << c.type;
    if (c.expected == ColumnType::kText || c.expected == ColumnType::kBinary) {
      EXPECT_EQ(create.columns[0].max_chars, c.max_chars) << c.type;
    }
  }
  auto dec = std::get<CreateTable>(MustParse("CREATE TABLE t (x DECIMAL)")).columns[0];
  EXPECT_EQ(dec.precision, 18);
  EXPECT_EQ(dec.scale, 0);
  EXPECT_EQ(MustFail("CREATE TABLE t (x TEXT(256))").code, ErrorCode::kInvalidValue);
  EXPECT_EQ(MustFail("CREATE TABLE t (x TEXT(0))").code, ErrorCode::kInvalidValue);
  EXPECT_EQ(MustFail("CREATE TABLE t (x DECIMAL(29))").code, ErrorCode::kInvalidValue);
  EXPECT_EQ(MustFail("CREATE TABLE t (x DECIMAL(5,6))").code, ErrorCode::kInvalidValue);
  MustFail("CREATE TABLE t (x INT(4))");
  MustFail("CREATE TABLE t (x VARCHR)");
  EXPECT_EQ(MustFail("CREATE TABLE t (x INT, CONSTRAINT positive CHECK (x))").code, ErrorCode::kNotSupported);
}

// Keys as columns and tables declare them, and CREATE INDEX / DROP INDEX.
TEST(SqlParser, KeysAndIndexes) {
  auto parsed = Parse(
      "CREATE TABLE t (id LONG CONSTRAINT pk PRIMARY KEY, [code no] TEXT(10) NOT NULL UNIQUE, b LONG, "
      "CONSTRAINT two UNIQUE (b DESC, [code no]))");
  ASSERT_TRUE(parsed) << parsed.error().message;
  const auto& create = std::get<CreateTable>(*parsed);
  ASSERT_EQ(create.columns.size(), 3u);
  EXPECT_TRUE(create.columns[1].not_null);
  ASSERT_EQ(create.indexes.size(), 3u);
  EXPECT_EQ(create.indexes[0].name, "pk");
  EXPECT_TRUE(create.indexes[0].primary);
  EXPECT_EQ(create.indexes[0].columns.front().name, "id");
  EXPECT_TRUE(create.indexes[1].name.empty());
  EXPECT_TRUE(create.indexes[1].unique);
  EXPECT_EQ(create.indexes[1].columns.front().name, "code no");
  ASSERT_EQ(create.indexes[2].columns.size(), 2u);
  EXPECT_FALSE(create.indexes[2].columns[0].ascending);
  EXPECT_TRUE(create.indexes[2].columns[1].ascending);

  auto index = Parse("create unique index by_name on [t] (name asc, id desc) with ignore null;");
  ASSERT_TRUE(index) << index.error().message;
  const auto& made = std::get<CreateIndex>(*index);
  EXPECT_EQ(made.table, "t");
  EXPECT_EQ(made.index.name, "by_name");
  EXPECT_TRUE(made.index.unique);
  EXPECT_TRUE(made.index.ignore_null);
  EXPECT_FALSE(made.index.columns[1].ascending);
  EXPECT_TRUE(std::get<CreateIndex>(*Parse("CREATE INDEX p ON t (a) WITH PRIMARY")).index.primary);
  EXPECT_TRUE(std::get<CreateIndex>(*Parse("CREATE INDEX p ON t (a) WITH DISALLOW NULL")).index.disallow_null);
  const auto drop = std::get<DropIndex>(*Parse("DROP INDEX by_name ON t"));
  EXPECT_EQ(drop.index, "by_name");
  EXPECT_EQ(drop.table, "t");

  const auto added = std::get<CreateIndex>(*Parse("ALTER TABLE t ADD CONSTRAINT pk PRIMARY KEY (a, b DESC)"));
  EXPECT_EQ(added.table, "t");
  EXPECT_EQ(added.index.name, "pk");
  EXPECT_TRUE(added.index.primary);
  EXPECT_EQ(added.index.columns.size(), 2u);
  EXPECT_TRUE(std::get<CreateIndex>(*Parse("alter table t add constraint u unique (a);")).index.unique);
  const auto dropped = std::get<DropIndex>(*Parse("ALTER TABLE [t] DROP CONSTRAINT pk"));
  EXPECT_EQ(dropped.index, "pk");
  EXPECT_EQ(MustFail("ALTER TABLE t ADD COLUMN c LONG").code, ErrorCode::kNotSupported);
  EXPECT_EQ(MustFail("CREATE INDEX p ON t (a) WITH NOTHING").code, ErrorCode::kSyntax);
  EXPECT_EQ(MustFail("CREATE INDEX p ON t (a, )").code, ErrorCode::kSyntax);
  EXPECT_EQ(MustFail("CREATE INDEX p ON t (a) extra").code, ErrorCode::kSyntax);
  EXPECT_EQ(MustFail("DROP INDEX p").code, ErrorCode::kSyntax);
  EXPECT_EQ(MustFail("CREATE TABLE t (a LONG, CONSTRAINT PRIMARY KEY (a))").code, ErrorCode::kSyntax);
}

TEST(SqlParser, Relationships) {
  auto create = std::get<CreateTable>(MustParse(
      "CREATE TABLE c (id COUNTER PRIMARY KEY, p LONG CONSTRAINT to_p REFERENCES p ON DELETE SET NULL NOT NULL, "
      "a LONG, b TEXT(5), CONSTRAINT two FOREIGN KEY (a, [b]) REFERENCES [q] (x, y) ON UPDATE CASCADE "
      "ON DELETE CASCADE)"));
  ASSERT_EQ(create.foreign_keys.size(), 2u);
  EXPECT_EQ(create.indexes.size(), 1u);
  EXPECT_TRUE(create.columns[1].not_null);  // words after the relationship still apply
  const ForeignKeySpec& single = create.foreign_keys[0];
  EXPECT_EQ(single.name, "to_p");
  EXPECT_EQ(single.columns, std::vector<std::string>{"p"});
  EXPECT_EQ(single.referenced_table, "p");
  EXPECT_TRUE(single.referenced_columns.empty());  // the primary key
  EXPECT_TRUE(single.set_null_on_delete);
  EXPECT_FALSE(single.cascade_delete || single.cascade_update);
  const ForeignKeySpec& pair = create.foreign_keys[1];
  EXPECT_EQ(pair.columns, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(pair.referenced_columns, (std::vector<std::string>{"x", "y"}));
  EXPECT_TRUE(pair.cascade_update && pair.cascade_delete);

  const auto added = std::get<AddForeignKey>(
      MustParse("alter table c add constraint f foreign key (a) references p (id) on delete no action;"));
  EXPECT_EQ(added.table, "c");
  EXPECT_EQ(added.key.name, "f");
  EXPECT_FALSE(added.key.cascade_delete);
  EXPECT_TRUE(std::get<DropIndex>(MustParse("ALTER TABLE c DROP CONSTRAINT f")).constraint);
  EXPECT_FALSE(std::get<DropIndex>(MustParse("DROP INDEX f ON c")).constraint);

  // The file has no bit for it: refused with a reason, not dropped silently.
  Error set_null = MustFail("CREATE TABLE c (p LONG REFERENCES p ON UPDATE SET NULL)");
  EXPECT_EQ(set_null.code, ErrorCode::kNotSupported);
  EXPECT_NE(set_null.message.find("ON UPDATE SET NULL"), std::string::npos) << set_null.message;
  EXPECT_EQ(MustFail("CREATE TABLE c (p LONG REFERENCES p ON DELETE CASCADE ON DELETE CASCADE)").code,
            ErrorCode::kSyntax);
  EXPECT_EQ(MustFail("CREATE TABLE c (p LONG REFERENCES p ON INSERT CASCADE)").code, ErrorCode::kSyntax);
  EXPECT_EQ(MustFail("CREATE TABLE c (p LONG, FOREIGN KEY p REFERENCES q)").code, ErrorCode::kSyntax);
  EXPECT_EQ(MustFail("CREATE TABLE c (p LONG, CONSTRAINT f FOREIGN KEY (p) REFERENCES)").code, ErrorCode::kSyntax);
  EXPECT_EQ(MustFail("CREATE TABLE c (p LONG FOREIGN KEY (p) REFERENCES q)").code, ErrorCode::kSyntax);
  EXPECT_EQ(MustFail("CREATE TABLE c (p LONG, CONSTRAINT f REFERENCES q)").code, ErrorCode::kSyntax);
}

// Line breaks and other control characters, written in one line as Access SQL writes them.
TEST(SqlParser, TextsJoinedWithChr) {
  auto insert = std::get<InsertInto>(
      MustParse("INSERT INTO t VALUES ('one' & Chr(13) & Chr(10) & 'two', Chr(9), 'a' & ChrW(8364) & '', 'x')"));
  ASSERT_EQ(insert.values.size(), 4u);
  EXPECT_EQ(insert.values[0], (Literal{Literal::Kind::kString, "one\r\ntwo"}));
  EXPECT_EQ(insert.values[1], (Literal{Literal::Kind::kString, "\t"}));
  EXPECT_EQ(insert.values[2], (Literal{Literal::Kind::kString, "a\xE2\x82\xAC"}));
  EXPECT_EQ(insert.values[3], (Literal{Literal::Kind::kString, "x"}));
  EXPECT_EQ(std::get<InsertInto>(MustParse("INSERT INTO t VALUES (chrw(0) & CHR(127))")).values[0].text,
            std::string("\0\x7F", 2));
  EXPECT_EQ(MustFail("INSERT INTO t VALUES (Chr(200))").code, ErrorCode::kInvalidValue);  // depends on the code page
  EXPECT_EQ(MustFail("INSERT INTO t VALUES (ChrW(55296))").code, ErrorCode::kInvalidValue);  // a lone surrogate
  EXPECT_EQ(MustFail("INSERT INTO t VALUES (ChrW(65536))").code, ErrorCode::kInvalidValue);
  EXPECT_EQ(MustFail("INSERT INTO t VALUES ('a' & 1)").code, ErrorCode::kSyntax);
  EXPECT_EQ(MustFail("INSERT INTO t VALUES ('a' &)").code, ErrorCode::kSyntax);
  EXPECT_EQ(MustFail("INSERT INTO t VALUES (Chr 13)").code, ErrorCode::kSyntax);
}

TEST(SqlParser, NamesAccessForbids) {
  for (const char* bad : {"\"a.b\"", "[a!b]", "\"a`b\"", "\"a[b\"", "\" lead\"", "\"tab\there\""}) {
    const std::string text = std::string("DROP TABLE ") + bad;
    auto e = MustFail(text);
    EXPECT_NE(e.message.find("table name"), std::string::npos) << e.message;
  }
  MustFail("CREATE TABLE t (\"a.b\" INT)");
  MustFail("CREATE TABLE t (a.b INT)");
  MustFail("DROP TABLE \"\"");
  const std::string long_name(65, 'n');
  EXPECT_NE(MustFail("DROP TABLE " + long_name).message.find("64"), std::string::npos);
  MustParse("DROP TABLE " + std::string(64, 'n'));
  // Length counts UTF-16 units, as Access does: 32 emoji are 64 units.
  std::string emoji;
  for (int i = 0; i < 32; ++i) emoji += "\xF0\x9F\x98\x80";
  MustParse("DROP TABLE \"" + emoji + "\"");
  MustFail("DROP TABLE \"" + emoji + "x\"");
  MustFail("CREATE TABLE t (a INT, A TEXT)");  // the same name without regard to case
}

TEST(SqlParser, ExactlyOneStatement) {
  EXPECT_NE(MustFail("DROP TABLE a; DROP TABLE b").message.find("one statement"), std::string::npos);
  MustFail("DROP TABLE a;;");
  MustFail("DROP TABLE a b");
  MustFail("");
  MustFail("   ;");
  MustFail("INSERT INTO t VALUES (1) x");
}

TEST(SqlParser, MalformedStatements) {
  for (const char* text : {
           "CREATE TABLE t", "CREATE TABLE t (", "CREATE TABLE t ()", "CREATE TABLE t (a INT,)", "CREATE TABLE t (a)",
           "CREATE TABLE t (a INT", "CREATE t (a INT)", "INSERT t VALUES (1)", "INSERT INTO t VALUES 1",
           "INSERT INTO t VALUES (1", "INSERT INTO t VALUES (1,)", "INSERT INTO t VALUES ('abc)",
           "INSERT INTO t VALUES (1.2.3)", "INSERT INTO t VALUES (12abc)", "INSERT INTO t VALUES (- 'a')",
           "INSERT INTO t VALUES (0x123)", "INSERT INTO t VALUES (#2021-01-01)", "INSERT INTO t VALUES (abc)",
           "INSERT INTO t (a, b) VALUES (1)", "INSERT INTO t (a, a) VALUES (1, 2)", "SELECT a FROM t",
           "UPDATE t SET a = 1", "DROP TABLE", "DROP TABLE [t", "DROP TABLE \"t", "INSERT INTO t VALUES (1 % 2)",
           "INSERT INTO t VALUES ('\xff')",
       }) {
    MustFail(text);
  }
}


// Values as the builders write them are read by a shortcut; everything it
// does not take goes through the token reader. Both must agree on every form.
TEST(SqlParser, ValueFormsAndWhereTheyStop) {
  using K = Literal::Kind;
  auto values = [](std::string_view list) {
    auto r = Parse("INSERT INTO t VALUES (" + std::string(list) + ")");
    EXPECT_TRUE(r.has_value()) << list << " -> " << (r ? "" : r.error().message);
    return r ? std::get<InsertInto>(*r).values : std::vector<Literal>{};
  };
  EXPECT_EQ(values("1, -2, +3, .5, -.5, 1e5, 1.5E-3, 2e+7"),
            (std::vector<Literal>{{K::kNumber, "1"}, {K::kNumber, "-2"}, {K::kNumber, "3"}, {K::kNumber, ".5"},
                                  {K::kNumber, "-.5"}, {K::kNumber, "1e5"}, {K::kNumber, "1.5E-3"},
                                  {K::kNumber, "2e+7"}}));
  EXPECT_EQ(values("'a''b', '', 'x,y)', NULL, null,'é'"),
            (std::vector<Literal>{{K::kString, "a'b"}, {K::kString, ""}, {K::kString, "x,y)"}, {K::kNull, ""},
                                  {K::kNull, ""}, {K::kString, "é"}}));
  // The forms the typed statements write, then forms only the token reader
  // takes, in the middle of plain ones.
  EXPECT_EQ(values("1, - 2, True, #2021-08-31#, 0xA1, 'z', false"),
            (std::vector<Literal>{{K::kNumber, "1"}, {K::kNumber, "-2"}, {K::kBoolean, "True"},
                                  {K::kDate, "2021-08-31"}, {K::kBinary, "A1"}, {K::kString, "z"},
                                  {K::kBoolean, "False"}}));
  EXPECT_EQ(values("1, Yes, off, 'a' & Chr(10), 2"),
            (std::vector<Literal>{{K::kNumber, "1"}, {K::kBoolean, "True"}, {K::kBoolean, "False"},
                                  {K::kString, "a\n"}, {K::kNumber, "2"}}));
  EXPECT_EQ(values(" \n 7 \t,\r\n'q' "), (std::vector<Literal>{{K::kNumber, "7"}, {K::kString, "q"}}));

  for (const char* bad : {"12abc", "1.2.3", "1e", "1x", "'abc", "NULLx", "1,", "1 2", "'\xff'", "--1", "1.e5.",
                          "0xg", "0xABC"}) {
    auto r = Parse("INSERT INTO t VALUES (" + std::string(bad) + ")");
    EXPECT_FALSE(r.has_value()) << bad;
  }
  EXPECT_NE(Parse("INSERT INTO t VALUES (1, 12abc)").error().message.find("'12abc' at position 26 is not a number"),
            std::string::npos)
      << Parse("INSERT INTO t VALUES (1, 12abc)").error().message;
}

// The executor parses a stream of INSERTs into one reused buffer: every text
// must give exactly what Parse gives, whatever the statement before it left.
TEST(SqlParser, OneInsertBufferForAStreamGivesWhatParseGives) {
  const char* stream[] = {
      R"(INSERT INTO "t" VALUES(1, 'a long text that does not fit a short string', NULL, #2021-08-31#))",
      R"(INSERT INTO "t" VALUES(-2.5e3))",
      R"(INSERT INTO [other table] (b, a) VALUES ('x''y', 0xA1B2))",
      "INSERT INTO t VALUES (1, 2",  // fails part-way through the values
      R"(insert into t values (True, off, +7, 'é'))",
      "INSERT INTO t (a, a) VALUES (1, 2)",
      "INSERT INTO t VALUES (NULL);",
      "INSERT INTO t VALUES (1) x",
      "DROP TABLE t",  // not an INSERT: fails as Parse would, or says why
      "SELECT * FROM t",
      "INSERT INTO t VALUES ()",
      R"(INSERT INTO "t" VALUES(1, 'a long text that does not fit a short string', NULL, #2021-08-31#))",
      // The same text before the values, statement after statement.
      "INSERT INTO t (a, b) VALUES (1, 'x')",
      "INSERT INTO t (a, b) VALUES (2)",
      "INSERT INTO t (a, b) VALUES (True, 3)",
      "INSERT INTO t (a, b) VALUES (4, 5) extra",
      "INSERT INTO t (a, b) VALUES (6, 'y');",
      "INSERT INTO t (a, b) VALUES (#2020-01-01 10:00:00.000#, False)",
      "INSERT INTO t (a, b) VALUES (0xABC, True)",
      "INSERT INTO t (a, b) VALUES (0x00ff, 'x' & Chr(13))",
      "INSERT INTO t (a, b) VALUES (",
  };
  InsertInto reused;
  for (const char* text : stream) {
    auto expected = Parse(text);
    auto got = ParseInsertInto(text, reused);
    const auto* insert = expected ? std::get_if<InsertInto>(&*expected) : nullptr;
    ASSERT_EQ(got.has_value(), insert != nullptr) << text;
    if (!expected) {
      EXPECT_EQ(got.error().message, expected.error().message) << text;
    } else if (insert) {
      EXPECT_EQ(reused.table, insert->table) << text;
      EXPECT_EQ(reused.columns, insert->columns) << text;
      EXPECT_EQ(reused.values, insert->values) << text;
    } else {
      EXPECT_EQ(got.error().message.rfind("SQLException: ", 0), 0u) << got.error().message;
    }
  }
  EXPECT_TRUE(IsInsertStatement(" \n insert INTO t VALUES (1)"));
  EXPECT_TRUE(IsInsertStatement("INSERT(")) << "the parser, not this test, refuses it";
  EXPECT_FALSE(IsInsertStatement("INSERTS INTO t VALUES (1)"));
  EXPECT_FALSE(IsInsertStatement("INSERT_x"));
  EXPECT_FALSE(IsInsertStatement("DROP TABLE t"));
  EXPECT_FALSE(IsInsertStatement("INSER"));
}

}  // namespace
}  // namespace jet::sql

// The conversion that keeps types: each PostgreSQL type as the mapping says,
// names Access can hold, literals our engine reads back exactly, and a whole
// plan (tables, rows, keys, relationships) executed on a new .accdb.

#include "engine/typed_statements.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/access_names.h"
#include "platform/jet/public/create.h"
#include "platform/jet/public/database.h"
#include "platform/jet/public/value_text.h"
#include "tests/support/environment.h"

namespace engine {
namespace {

db::SourceColumn Column(std::string name, std::string base_type, std::string type = "") {
  db::SourceColumn c;
  c.name = std::move(name);
  c.base_type = std::move(base_type);
  c.type = type.empty() ? c.base_type : std::move(type);
  return c;
}

TEST(AccessMapping, EachPostgreSQLTypeAsTheTableSays) {
  struct Case {
    db::SourceColumn column;
    db::ColumnFacts facts;
    const char* type;
    ValueForm form;
    const char* change;  // a part of it, "" for none
  };
  db::ColumnFacts none;
  db::ColumnFacts small_big = none, big = none, nulls = none, wide_numeric = none, exact_double = none,
                  special = none, money_big = none, fine = none, outside = none, emoji = none, long_text = none;
  small_big.min_integer = -5, small_big.max_integer = 2147483647;
  big.min_integer = 0, big.max_integer = 2147483648LL;
  nulls.has_null = true;
  wide_numeric.any_value = exact_double.any_value = true;
  wide_numeric.max_integer_digits = 12, wide_numeric.max_scale = 4;
  exact_double.max_integer_digits = 30, exact_double.numeric_text_round_trips_as_double = true;
  special.special_floats = true, special.max_utf16_length = 9;
  money_big.beyond_currency = true;
  fine.finer_than_millisecond = 7;
  outside.dates_outside_access = true, outside.max_utf16_length = 8;
  emoji.max_utf16_length = 22;
  long_text.max_utf16_length = 300;
  db::SourceColumn serial = Column("id", "int8", "bigint");
  serial.identity = true;
  db::SourceColumn fixed = Column("n", "numeric", "numeric(10,2)");
  fixed.precision = 10, fixed.scale = 2;
  // PostgreSQL 15's scales beyond the precision and below zero.
  db::SourceColumn tiny = Column("n", "numeric", "numeric(3,5)"), hundreds = Column("n", "numeric", "numeric(5,-2)");
  tiny.precision = 3, tiny.scale = 5, hundreds.precision = 5, hundreds.scale = -2;
  db::SourceColumn varchar20 = Column("v", "varchar", "character varying(20)");
  varchar20.length = 20;
  db::SourceColumn varchar1000 = Column("v", "varchar", "character varying(1000)");
  varchar1000.length = 1000;
  const Case cases[] = {
      {Column("a", "int2"), none, "SHORT", ValueForm::kNumber, ""},
      {Column("a", "int4"), none, "LONG", ValueForm::kNumber, ""},
      {Column("a", "int8"), small_big, "LONG", ValueForm::kNumber, ""},
      {Column("a", "int8"), big, "DECIMAL(19,0)", ValueForm::kNumber, "beyond 32 bits"},
      {serial, small_big, "COUNTER", ValueForm::kNumber, ""},
      {serial, big, "DECIMAL(19,0)", ValueForm::kNumber, "beyond 32 bits"},
      {fixed, none, "DECIMAL(10,2)", ValueForm::kNumber, ""},
      {tiny, none, "DECIMAL(5,5)", ValueForm::kNumber, ""},
      {hundreds, none, "DECIMAL(7,0)", ValueForm::kNumber, ""},
      {Column("a", "numeric"), none, "DECIMAL(28,10)", ValueForm::kNumber, ""},  // no values to size it by
      {Column("a", "numeric"), wide_numeric, "DECIMAL(16,4)", ValueForm::kNumber, ""},
      {Column("a", "numeric"), exact_double, "DOUBLE", ValueForm::kNumber, "Double"},
      {Column("a", "numeric"), [] { db::ColumnFacts f; f.any_value = true; f.max_integer_digits = 30; f.numeric_text_round_trips_as_double = false; f.max_utf16_length = 31; return f; }(),
       "TEXT(31)", ValueForm::kText, "exact digits"},
      {Column("a", "float8"), none, "DOUBLE", ValueForm::kNumber, ""},
      {Column("a", "float4"), special, "TEXT(9)", ValueForm::kText, "NaN or infinity"},
      {Column("a", "money"), none, "CURRENCY", ValueForm::kNumber, ""},
      {Column("a", "money"), money_big, "DECIMAL(19,2)", ValueForm::kNumber, "Currency"},
      {Column("a", "bool"), none, "YESNO", ValueForm::kYesNo, ""},
      {Column("a", "bool"), nulls, "SHORT", ValueForm::kYesNoAsNumber, "NULL"},
      {Column("a", "timestamptz"), fine, "DATETIME", ValueForm::kDateTime, "millisecond"},
      {Column("a", "date"), outside, "TEXT(8)", ValueForm::kText, "years 100 to 9999"},
      {Column("a", "time"), none, "DATETIME", ValueForm::kDateTime, ""},
      {varchar20, emoji, "TEXT(22)", ValueForm::kText, ""},  // UTF-16 units, as Access counts
      {Column("a", "text"), long_text, "MEMO", ValueForm::kText, ""},
      {Column("a", "text"), none, "TEXT(255)", ValueForm::kText, ""},
      {varchar1000, emoji, "TEXT(255)", ValueForm::kText, ""},
      {Column("a", "bytea"), none, "LONGBINARY", ValueForm::kBinary, ""},
      {Column("a", "uuid"), none, "GUID", ValueForm::kGuid, ""},
      {Column("a", "_int4", "integer[]"), emoji, "TEXT(22)", ValueForm::kText, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.column.type + " " + c.type);
    TypedColumn m = MapColumn(c.column, c.facts, true);
    EXPECT_EQ(m.access_type, c.type);
    EXPECT_EQ(m.form, c.form);
    if (*c.change) EXPECT_NE(m.change.find(c.change), std::string::npos) << m.change;
    else EXPECT_EQ(m.change, "");
  }
  // Money is read as a number, never as the locale's money text; times land on Access's day zero.
  EXPECT_EQ(MapColumn(Column("m", "money"), none, true).select, "\"m\"::numeric::text");
  EXPECT_NE(MapColumn(Column("t", "time"), none, true).select.find("'1899-12-30'::date + \"t\"::time(3)"),
            std::string::npos);
  EXPECT_EQ(MapColumn(Column("a", "timestamptz"), fine, true).changed, 7);
  // One AutoNumber per table.
  EXPECT_EQ(MapColumn(serial, small_big, false).access_type, "LONG");
}

TEST(AccessMapping, WidestTextsBecomeMemoWhileARowCouldNotHoldThem) {
  db::SourceTable t;
  std::vector<db::ColumnFacts> facts;
  for (int i = 0; i < 12; ++i) {
    db::SourceColumn c = Column("c" + std::to_string(i), "varchar");
    c.length = i < 2 ? 100 : 255;
    t.columns.push_back(c);
    facts.emplace_back();
  }
  auto columns = MapColumns(t, facts);
  size_t memos = 0, row = 0;
  for (const auto& m : columns) {
    memos += m.access_type == "MEMO";
    row += m.row_bytes + 2;
  }
  EXPECT_EQ(columns[0].access_type, "TEXT(100)");  // the narrow ones stay
  EXPECT_EQ(memos, 3u);  // 5,534 bytes at most at first: three of 510 bytes must go
  EXPECT_LE(row + 10, kAccessRowBytes);
}

TEST(AccessNames, LegalUniqueAndDeterministic) {
  EXPECT_EQ(LegalAccessName("  order.lines![x]`\t"), "order_lines__x___");
  EXPECT_EQ(LegalAccessName(""), "_");
  const std::string emoji = "\xF0\x9F\x98\x80";  // two UTF-16 units
  std::string wide(63, 'a');
  EXPECT_EQ(LegalAccessName(wide + emoji), wide);  // never cut inside a character
  NameScope scope;
  EXPECT_EQ(scope.Claim("Orders"), "Orders");
  EXPECT_EQ(scope.Claim("orders"), "orders_2");
  EXPECT_EQ(scope.Claim("ORDERS"), "ORDERS_3");
  EXPECT_EQ(scope.Claim("Ärger"), "Ärger");
  EXPECT_EQ(scope.Claim("ärger"), "ärger_2");
  const std::string long_name(64, 'n');
  EXPECT_EQ(scope.Claim(long_name), long_name);
  EXPECT_EQ(scope.Claim(long_name + "more"), std::string(62, 'n') + "_2");
}

TEST(TypedStatements, LiteralsAsOurEngineAndAccessReadThem) {
  EXPECT_EQ(Literal(ValueForm::kText, "it's"), "'it''s'");
  EXPECT_EQ(Literal(ValueForm::kText, ""), "''");
  EXPECT_EQ(Literal(ValueForm::kText, "one\r\ntwo"), "'one' & Chr(13) & Chr(10) & 'two'");
  EXPECT_EQ(Literal(ValueForm::kText, "\tx\n"), "Chr(9) & 'x' & Chr(10)");
  EXPECT_EQ(Literal(ValueForm::kYesNo, "true"), "True");
  EXPECT_EQ(Literal(ValueForm::kYesNoAsNumber, "false"), "0");
  EXPECT_EQ(Literal(ValueForm::kDateTime, "2024-02-29 23:59:59.999"), "#2024-02-29 23:59:59.999#");
  // PostgreSQL's text of a timestamp stops where its fraction's zeros begin.
  EXPECT_EQ(Literal(ValueForm::kDateTime, "0100-01-01 00:00:00"), "#0100-01-01 00:00:00.000#");
  EXPECT_EQ(Literal(ValueForm::kDateTime, "2024-02-29 23:59:59.5"), "#2024-02-29 23:59:59.500#");
  EXPECT_EQ(Literal(ValueForm::kDateTime, "2024-02-29 23:59:59.05"), "#2024-02-29 23:59:59.050#");
  EXPECT_EQ(Literal(ValueForm::kDateTime, "2024-02-29"), "#2024-02-29#");
  EXPECT_EQ(Literal(ValueForm::kBinary, "00ff"), "0x00ff");
  EXPECT_EQ(Literal(ValueForm::kGuid, "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11"),
            "'{a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11}'");
}

// A schema as the catalogue reader gives it, planned and executed on a new
// file: every statement is accepted, and the keys, relationships and values
// read back as planned; what cannot be carried is listed.
TEST(TypedStatements, APlanRunsOnANewFileAsPlanned) {
  std::vector<db::SourceTable> tables(6);
  db::SourceTable& customers = tables[0];
  customers.schema = "public", customers.name = "customers";
  db::SourceColumn id = Column("id", "int8", "bigint");
  id.identity = true, id.not_null = true;
  db::SourceColumn name = Column("name", "varchar", "character varying(40)");
  name.length = 40;
  name.default_expression = "'nobody'::character varying";
  db::SourceColumn vip = Column("vip", "bool", "boolean");
  vip.default_expression = "false";
  db::SourceColumn referrer = Column("referred by", "int4", "integer");
  customers.columns = {id, name, vip, referrer, Column("photo", "bytea")};
  customers.indexes = {{"customers_pkey", {"id"}, {false}, true, true, ""},
                       {"by_name", {"name"}, {true}, false, true, ""},
                       {"lower_name", {}, {}, false, false, "an expression index"},
                       {"by_photo", {"photo"}, {false}, false, false, ""}};
  customers.checks = {"vip_or_named: CHECK ((vip OR (name IS NOT NULL)))"};
  customers.foreign_keys = {{"referral", {"referred by"}, "public", "customers", {"id"}, 'n', 'n', false}};
  db::SourceTable& orders = tables[1];
  orders.schema = "sales", orders.name = "order";  // a reserved word
  db::SourceColumn customer = Column("customer", "int4", "integer");
  db::SourceColumn line = Column("line", "int2", "smallint");
  db::SourceColumn at = Column("placed at", "timestamptz", "timestamp with time zone");
  at.default_expression = "now()";
  orders.columns = {customer, line, at, Column("note", "text"), Column("token", "uuid")};
  orders.indexes = {{"order_pkey", {"customer", "line"}, {false, false}, true, true, ""}};
  orders.foreign_keys = {{"order_customer", {"customer"}, "public", "customers", {"id"}, 'c', 'c', false},
                         {"order_elsewhere", {"line"}, "archive", "lines", {"id"}, 'a', 'a', false}};
  tables[2] = orders;
  tables[2].schema = "archive";  // the same name in another schema
  tables[2].foreign_keys.clear();
  tables[1].child_columns = {"sales.old_order.archived"};
  tables[3].schema = "public", tables[3].name = "odd[name]";
  tables[3].columns = {Column("x", "int4"), Column("X", "int4")};
  // Names equal but for case in one schema: a number, since a schema prefix would not part them.
  tables[4].schema = tables[5].schema = "public", tables[4].name = "Item", tables[5].name = "item";
  tables[4].columns = tables[5].columns = {Column("x", "int4")};

  std::vector<std::vector<db::ColumnFacts>> facts(tables.size());
  for (size_t i = 0; i < tables.size(); ++i) facts[i].resize(tables[i].columns.size());
  facts[0][0].min_integer = 1, facts[0][0].max_integer = 3;  // a bigserial whose values fit 32 bits
  facts[1][3].max_utf16_length = 300;
  facts[1][2].finer_than_millisecond = 1;
  auto plans = PlanTables(tables, facts);
  auto relationships = RelationshipStatements(plans);

  ASSERT_EQ(plans.size(), 6u);
  EXPECT_EQ(plans[4].name, "Item");
  EXPECT_EQ(plans[5].name, "item_2");
  EXPECT_EQ(plans[0].create,
            "CREATE TABLE [customers] ([id] COUNTER, [name] TEXT(40) DEFAULT 'nobody', [vip] YESNO DEFAULT False, "
            "[referred by] LONG, [photo] LONGBINARY)");
  EXPECT_EQ(plans[1].name, "sales_order");
  EXPECT_EQ(plans[2].name, "archive_order");
  EXPECT_EQ(plans[3].name, "odd_name_");
  EXPECT_EQ(plans[3].column_names, (std::vector<std::string>{"x", "X_2"}));
  EXPECT_EQ(plans[1].source_query.substr(plans[1].source_query.find(" FROM ")), " FROM \"sales\".\"order\"");
  auto listed = [](const TablePlan& p, const std::string& part) {
    for (const auto& l : p.left_out)
      if (l.find(part) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(listed(plans[0], "lower_name of public.customers: an expression index"));
  EXPECT_TRUE(listed(plans[0], "OLE Object column photo"));
  EXPECT_TRUE(listed(plans[0], "ON UPDATE SET NULL"));
  EXPECT_TRUE(listed(plans[0], "check vip_or_named: CHECK ((vip OR (name IS NOT NULL))) of public.customers"));
  EXPECT_TRUE(listed(plans[1], "archive.lines, is not converted"));
  EXPECT_TRUE(listed(plans[1], "default now() of column placed at of sales.order: Access stores only a literal"));
  EXPECT_TRUE(listed(plans[1], "column sales.old_order.archived of an inheritance child: its rows arrive in "
                               "sales.order without it"));
  // Index and relationship names are one scope across the database: a second one is renamed, and said so.
  EXPECT_EQ(plans[2].renamed.back(), "index order_pkey of archive.order -> order_pkey_2");
  ASSERT_EQ(relationships.size(), 2u);
  EXPECT_EQ(relationships[0].statement,
            "ALTER TABLE [customers] ADD CONSTRAINT [referral] FOREIGN KEY ([referred by]) REFERENCES [customers] "
            "([id]) ON DELETE SET NULL");
  EXPECT_EQ(relationships[1].statement,
            "ALTER TABLE [sales_order] ADD CONSTRAINT [order_customer] FOREIGN KEY ([customer]) REFERENCES "
            "[customers] ([id]) ON UPDATE CASCADE ON DELETE CASCADE");

  const std::string path = testing_support::ScratchFolder("TypedStatements") + "/typed.accdb";
  std::filesystem::remove(path);
  ASSERT_TRUE(jet::CreateBlankDatabase(path, {.format = jet::BlankFormat::kAccess2016}));
  jet::OpenOptions options;
  options.writable = true;
  auto db = jet::Database::Open(path, options);
  ASSERT_TRUE(db);
  auto run = [&](const std::string& sql) {
    auto done = (*db)->Execute(sql);
    EXPECT_TRUE(done) << sql << "\n-> " << (done ? "" : done.error().message);
  };
  for (const auto& p : plans) run(p.create);
  run(RowStatement(plans[0], {"1", "Ann", "true", std::nullopt, "00ff"}));
  run(RowStatement(plans[0], {"2", "Bob's", "false", "1", std::nullopt}));
  run(RowStatement(plans[1], {"1", "1", "2024-02-29 23:59:59.999", "one\r\ntwo", "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11"}));
  for (const auto& p : plans)
    for (const auto& k : p.keys) run(k);
  for (const auto& r : relationships) run(r.statement);
  auto refused = (*db)->Execute(RowStatement(plans[1], {"9", "1", std::nullopt, std::nullopt, std::nullopt}));
  EXPECT_FALSE(refused) << "a row without its customer";

  auto indexes = (*db)->TableIndexes("sales_order");
  ASSERT_TRUE(indexes);
  bool primary = false;
  for (const auto& i : *indexes) primary = primary || (i.primary_key && i.columns.size() == 2);
  EXPECT_TRUE(primary);
  auto made = (*db)->Relationships();
  ASSERT_TRUE(made);
  EXPECT_EQ(made->size(), 2u);
  auto rows = (*db)->ReadTable("sales_order");
  ASSERT_TRUE(rows);
  ASSERT_TRUE((*rows)->Valid());
  EXPECT_EQ(std::get<std::string>((*rows)->row()[3]), "one\r\ntwo");
  // Milliseconds arrive: 23:59:59.999 on 29 February 2024.
  auto civil = jet::OleDateToCivil(std::get<jet::DateTimeValue>((*rows)->row()[2]).days);
  ASSERT_TRUE(civil);
  EXPECT_EQ(civil->millisecond, 999);
  EXPECT_EQ(civil->second, 59);
  EXPECT_TRUE((*db)->Close());
}

}  // namespace
}  // namespace engine

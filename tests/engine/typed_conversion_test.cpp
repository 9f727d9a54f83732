// A real PostgreSQL database with the types, keys and relationships a user
// has, read through the catalogue readers, planned, and written into a new
// .accdb by the statements the plan gives: every value arrives as the
// mapping promises, keys and relationships are those of the source, and the
// independent readers agree.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <filesystem>

#include "db/source_facts.h"
#include "db/source_schema.h"
#include "engine/typed_statements.h"
#include "platform/ado/connection.h"
#include "platform/ado/provider.h"
#include "platform/ado/recordset.h"
#include "platform/jet/public/create.h"
#include "platform/jet/public/database.h"
#include "platform/jet/public/value_text.h"
#include "tests/db/pg_scratch.h"
#include "tests/jet/write/readers.h"
#include "tests/support/environment.h"

namespace {

using testing_support::PgServer;
using testing_support::Psql;

constexpr const char* kDatabase = "pelmora_typed_conversion";

const char kSource[] = R"(
CREATE SCHEMA sales;
CREATE TYPE mood AS ENUM ('sad', 'ok', 'happy');
CREATE TABLE customers (
  id bigserial PRIMARY KEY,
  name varchar(40) NOT NULL DEFAULT 'nobody',
  vip boolean NOT NULL DEFAULT false,
  maybe boolean,
  referred_by bigint REFERENCES customers ON DELETE SET NULL,
  balance money,
  rating numeric,
  score double precision,
  joined timestamptz,
  wakes time,
  token uuid,
  notes text,
  feeling mood,
  tags int[],
  photo bytea
);
CREATE UNIQUE INDEX customers_name_key ON customers (lower(name));
CREATE INDEX customers_joined ON customers (joined DESC);
CREATE TABLE sales."order" (
  customer integer REFERENCES customers ON DELETE CASCADE ON UPDATE CASCADE,
  line smallint,
  amount numeric(12,2),
  placed date,
  PRIMARY KEY (customer, line)
);
CREATE TABLE orders (id int PRIMARY KEY, "order" text);
CREATE TABLE sales.readings (id int PRIMARY KEY, ratio float8, exact numeric, at timestamp, huge numeric(40,0));
INSERT INTO sales.readings VALUES (1, 'NaN', '-Infinity', 'infinity', 1234567890123456789012345678901234567890),
  (2, 1.5, 2, '2020-01-01', 1);
INSERT INTO customers (name, vip, maybe, referred_by, balance, rating, score, joined, wakes, token, notes, feeling,
                       tags, photo) VALUES
  ('Ann 😀', true, NULL, NULL, 1234.56, 1.5, 0.1, '2024-02-29 23:59:59.9996+00', '06:30:00.25',
   'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', E'one\r\ntwo', 'happy', '{1,2}', '\x00ff'),
  ('Bob''s', false, true, 1, -5, 12345678901234.5678, -2.5e10, '1999-12-31 12:00:00+00', NULL, NULL,
   repeat('x', 300), 'sad', NULL, NULL),
  ('', false, false, 2, NULL, NULL, NULL, NULL, NULL, NULL, '', NULL, '{}', '\x');
INSERT INTO sales."order" VALUES (1, 1, 10.50, '2024-01-01'), (1, 2, 0.01, NULL), (2, 1, 99999.99, '0100-01-01');
INSERT INTO orders VALUES (1, 'first');
)";

std::unique_ptr<ado::Connection> Connect(const PgServer& pg) {
  auto connection = ado::CreateConnection();
  connection->Open(pg.ConnectionString(kDatabase));
  return connection;
}

TEST(TypedConversion, ARealDatabaseArrivesWithItsTypesKeysAndRelationships) {
  REQUIRE_PG(pg);
  REQUIRE_READERS();
  ASSERT_TRUE(testing_support::FreshDatabase(pg, kDatabase));
  std::string out;
  ASSERT_EQ(Psql(pg, kDatabase, std::string("ALTER DATABASE ") + kDatabase + " SET timezone = 'UTC';\n" + kSource,
                 &out),
            0)
      << out;
  auto source = Connect(pg);
  auto tables = db::ReadSourceSchema(*source);
  ASSERT_EQ(tables.size(), 4u);
  std::vector<std::vector<db::ColumnFacts>> facts;
  for (const auto& t : tables) facts.push_back(db::ReadColumnFacts(*source, t));
  auto plans = engine::PlanTables(tables, facts);
  auto relationships = engine::RelationshipStatements(plans);

  // public.customers, public.orders, sales.order, sales.readings: the names as Access takes them.
  ASSERT_EQ(plans.size(), 4u);
  EXPECT_EQ(plans[0].name, "customers");
  EXPECT_EQ(plans[2].name, "order");
  EXPECT_EQ(plans[0].create,
            "CREATE TABLE [customers] ([id] COUNTER, [name] TEXT(40) NOT NULL DEFAULT 'nobody', [vip] YESNO NOT NULL "
            "DEFAULT False, [maybe] SHORT, [referred_by] LONG, [balance] CURRENCY, [rating] DECIMAL(18,4), "
            "[score] DOUBLE, [joined] DATETIME, [wakes] DATETIME, [token] GUID, [notes] MEMO, [feeling] TEXT(5), "
            "[tags] TEXT(5), [photo] LONGBINARY)");
  // What Access cannot hold is kept as PostgreSQL's text of it, as long as the longest.
  EXPECT_EQ(plans[3].create,
            "CREATE TABLE [readings] ([id] LONG NOT NULL, [ratio] TEXT(3), [exact] TEXT(9), [at] TEXT(19), [huge] TEXT(40))");
  bool expression_listed = false;
  for (const auto& l : plans[0].left_out) expression_listed |= l.find("customers_name_key") != std::string::npos;
  EXPECT_TRUE(expression_listed);
  ASSERT_EQ(relationships.size(), 2u);

  const std::string path = testing_support::ScratchFolder("TypedConversion") + "/typed.accdb";
  std::filesystem::remove(path);
  ASSERT_TRUE(jet::CreateBlankDatabase(path, {.format = jet::BlankFormat::kAccess2016}));
  jet::OpenOptions options;
  options.writable = true;
  auto db = jet::Database::Open(path, options);
  ASSERT_TRUE(db);
  auto run = [&](const std::string& sql) {
    auto done = (*db)->Execute(sql);
    EXPECT_TRUE(done) << sql.substr(0, 300) << "\n-> " << (done ? "" : done.error().message);
  };
  // Tables, rows and keys in turn; relationships once both their tables hold rows.
  for (auto& plan : plans) {
    run(plan.create);
    auto rows = source->Execute(plan.source_query);
    for (; !rows->Eof(); rows->MoveNext()) {
      std::vector<std::optional<std::string>> values;
      for (size_t i = 0; i < plan.columns.size(); ++i) {
        const ado::Value& v = rows->Fields(i).Value();
        values.push_back(v.IsNull() ? std::nullopt : std::optional<std::string>(v.ToText()));
      }
      run(engine::RowStatement(plan, values));
    }
    rows->Close();
    for (const auto& key : plan.keys) run(key);
  }
  for (const auto& r : relationships) run(r.statement);
  ASSERT_TRUE((*db)->Close());

  // The values as the mapping promises them, read by mdb-reader.
  auto customers = readers::MdbReaderRows(path, "customers");
  ASSERT_TRUE(customers);
  ASSERT_EQ(customers->rows.size(), 3u);
  const auto& ann = customers->rows[0];
  EXPECT_EQ(ann[1].text, "Ann 😀");
  EXPECT_TRUE(ann[3].null);                         // a Boolean with NULLs is an Integer
  EXPECT_EQ(customers->rows[1][3].text, "-1");      // and its true is Access's
  EXPECT_EQ(ann[5].text, "1234.5600");              // money as Currency
  EXPECT_EQ(ann[11].text, "one\r\ntwo");
  EXPECT_EQ(customers->rows[1][6].text, "12345678901234.5678");
  EXPECT_EQ(customers->rows[2][1].text, "");  // an empty text stays empty
  auto readings = readers::MdbReaderRows(path, "readings");
  ASSERT_TRUE(readings);
  ASSERT_EQ(readings->rows.size(), 2u);
  EXPECT_EQ(readings->rows[0][1].text, "NaN");
  EXPECT_EQ(readings->rows[0][2].text, "-Infinity");
  EXPECT_EQ(readings->rows[0][3].text, "infinity");
  EXPECT_EQ(readings->rows[0][4].text, "1234567890123456789012345678901234567890");
  EXPECT_EQ(readings->rows[1][3].text, "2020-01-01 00:00:00");
  // Times to the millisecond (23:59:59.9996 rounds into the next day), on
  // Access's day zero for a time of day; the year 100 as Access allows it.
  {
    auto reopened = jet::Database::Open(path);
    ASSERT_TRUE(reopened);
    auto civil = [&](const std::string& table, size_t row, size_t column) {
      auto rows = (*reopened)->ReadTable(table);
      EXPECT_TRUE(rows);
      for (size_t i = 0; i < row; ++i) (*rows)->Next();
      auto c = jet::OleDateToCivil(std::get<jet::DateTimeValue>((*rows)->row()[column]).days);
      EXPECT_TRUE(c);
      return c ? fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{:03}", c->year, c->month, c->day, c->hour,
                             c->minute, c->second, c->millisecond)
               : std::string();
    };
    EXPECT_EQ(civil("customers", 0, 8), "2024-03-01 00:00:00.000");
    EXPECT_EQ(civil("customers", 0, 9), "1899-12-30 06:30:00.250");
    EXPECT_EQ(civil("order", 2, 3), "0100-01-01 00:00:00.000");
  }
  std::string check;
  EXPECT_EQ(testing_support::RunCommand(std::string(PELMORA_RUNTIME_DIR) + "/pelmora-access check " +
                                            readers::ShellQuote(path),
                                        &check),
            0)
      << check;
  std::string relations;
  ASSERT_EQ(testing_support::RunCommand("mdb-export " + readers::ShellQuote(path) + " MSysRelationships", &relations),
            0);
  EXPECT_NE(relations.find("\"customers_referred_by_fkey\",8192,1,0,\"customers\",\"referred_by\",\"customers\","
                           "\"id\""),
            std::string::npos)
      << relations;
  EXPECT_NE(relations.find("\"order_customer_fkey\",4352,1,0,\"order\",\"customer\",\"customers\",\"id\""),
            std::string::npos)
      << relations;
  std::string schema;
  ASSERT_EQ(testing_support::RunCommand("mdb-schema " + readers::ShellQuote(path) + " postgres 2>/dev/null", &schema),
            0);
  EXPECT_NE(schema.find("ALTER TABLE \"order\" ADD CONSTRAINT \"order_pkey\" PRIMARY KEY (\"customer\", \"line\");"),
            std::string::npos)
      << schema;
  EXPECT_NE(schema.find("CREATE INDEX \"customers_customers_joined_idx\" ON \"customers\" (\"joined\" DESC);"),
            std::string::npos);
  Psql(pg, pg.database, std::string("DROP DATABASE IF EXISTS ") + kDatabase + " WITH (FORCE);\n");
}

}  // namespace

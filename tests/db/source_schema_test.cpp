// The source catalogue and value facts read from a real PostgreSQL through the
// ODBC provider, on scratch databases made with psql.

#include "db/source_schema.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/source_facts.h"
#include "platform/ado/connection.h"
#include "platform/ado/error.h"
#include "platform/ado/provider.h"
#include "platform/ado/recordset.h"
#include "tests/db/pg_scratch.h"
#include "tests/support/environment.h"

namespace {

using testing_support::FreshDatabase;
using testing_support::PgServer;
using testing_support::Psql;

// The real provider, with every statement it is given written down: the
// round trips are what the catalogue readers promise to keep few.
class Recording : public ado::ProviderConnection {
 public:
  Recording(std::unique_ptr<ado::ProviderConnection> inner, std::vector<std::string>& sent)
      : inner_(std::move(inner)), sent_(sent) {}
  std::unique_ptr<ado::Cursor> Execute(std::string_view text) override {
    sent_.emplace_back(text);
    return inner_->Execute(text);
  }
  std::unique_ptr<ado::Cursor> OpenSchema(int schema) override { return inner_->OpenSchema(schema); }
  void Close() override { inner_->Close(); }

 private:
  std::unique_ptr<ado::ProviderConnection> inner_;
  std::vector<std::string>& sent_;
};

std::unique_ptr<ado::Connection> Connect(const PgServer& pg, const std::string& database,
                                         std::vector<std::string>& sent) {
  auto connection = ado::CreateConnection();
  connection->AttachProvider(std::make_unique<Recording>(
      ado::OpenProvider(pg.ConnectionString(database), connection->Options()), sent));
  return connection;
}

// Drops its database when the test ends, whatever the outcome.
struct Dropped {
  const PgServer& pg;
  std::string database;
  ~Dropped() { Psql(pg, pg.database, "DROP DATABASE IF EXISTS \"" + database + "\" WITH (FORCE);\n"); }
};

bool MakeDatabase(const PgServer& pg, const std::string& database, const std::string& sql) {
  if (!FreshDatabase(pg, database)) return false;
  std::string out;
  int status = Psql(pg, database,
                    "ALTER DATABASE \"" + database + "\" SET timezone = 'UTC';\n"
                    "ALTER DATABASE \"" + database + "\" SET lc_monetary = 'C';\n" + sql,
                    &out);
  if (status != 0) ADD_FAILURE() << out;
  return status == 0;
}

const char kOddSchema[] = "Odd \"Q's\\ schema";

// Three schemas: public, sales (one table name shared with public, an
// inheritance child) and one whose name needs every kind of quoting.
const char kCatalogue[] = R"(
CREATE TYPE mood AS ENUM ('sad', 'ok', 'happy');
CREATE DOMAIN us_postal AS varchar(10) NOT NULL;
CREATE DOMAIN postal_code AS us_postal CHECK (VALUE <> '');
CREATE SEQUENCE shared_seq;

CREATE TABLE customers (
  id bigserial PRIMARY KEY,
  email varchar(80) NOT NULL CONSTRAINT customers_email_key UNIQUE,
  nick character(12),
  region int NOT NULL,
  code int NOT NULL CONSTRAINT customers_code_positive CHECK (code > 0),
  gone int,
  tags integer[]
);
ALTER TABLE customers DROP COLUMN gone;
ALTER TABLE customers ADD COLUMN created timestamptz DEFAULT now();
CREATE INDEX customers_nick_desc ON customers (region, nick DESC);
CREATE INDEX customers_lower_email ON customers (lower(email));
CREATE INDEX customers_active ON customers (code) WHERE region > 0;
CREATE UNIQUE INDEX customers_code_incl ON customers (code) INCLUDE (region);
CREATE UNIQUE INDEX customers_nick_nnd ON customers (nick) NULLS NOT DISTINCT;
CREATE INDEX customers_tags ON customers USING gin (tags);

CREATE TABLE orders (
  customer_id bigint NOT NULL REFERENCES customers (id),
  line int NOT NULL DEFAULT nextval('shared_seq'),
  amount numeric(10,2) DEFAULT 0,
  ratio numeric,
  feeling mood,
  zip postal_code,
  PRIMARY KEY (customer_id, line)
);

CREATE TABLE categories (
  id int GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  parent_id int CONSTRAINT categories_parent REFERENCES categories ON DELETE CASCADE ON UPDATE SET NULL DEFERRABLE,
  name text
);

CREATE TABLE measurements (taken date PRIMARY KEY, value float8) PARTITION BY RANGE (taken);
CREATE TABLE measurements_2023 PARTITION OF measurements
  FOR VALUES FROM ('2023-01-01') TO ('2024-01-01') PARTITION BY RANGE (taken);
CREATE TABLE measurements_2023_h1 PARTITION OF measurements_2023 FOR VALUES FROM ('2023-01-01') TO ('2023-07-01');
CREATE TABLE measurements_2024 PARTITION OF measurements FOR VALUES FROM ('2024-01-01') TO ('2025-01-01');
CREATE TABLE readings (taken date REFERENCES measurements);

CREATE VIEW customer_view AS SELECT id, email FROM customers;
CREATE MATERIALIZED VIEW order_totals AS SELECT customer_id, sum(amount) AS total FROM orders GROUP BY 1;

CREATE SCHEMA sales;
CREATE TABLE sales.orders (id int PRIMARY KEY, note text);
CREATE TABLE sales.old_orders (archived date) INHERITS (sales.orders);
CREATE TABLE sales."select" ("from" int, "my ""quoted"" col" text, "two words" int);
INSERT INTO sales."select" VALUES (1, 'a', 2);

CREATE SCHEMA "Odd ""Q's\ schema";
CREATE TABLE "Odd ""Q's\ schema"."Order ""Lines""" (x int);
CREATE TABLE "Odd ""Q's\ schema"."archived orders" () INHERITS (sales.orders);
)";

std::vector<std::string> Names(const std::vector<db::SourceTable>& tables) {
  std::vector<std::string> names;
  for (const auto& t : tables) names.push_back(t.schema + "." + t.name + (t.is_view ? " (view)" : ""));
  return names;
}

const db::SourceTable* Find(const std::vector<db::SourceTable>& tables, const std::string& schema,
                            const std::string& name) {
  for (const auto& t : tables)
    if (t.schema == schema && t.name == name) return &t;
  return nullptr;
}

// "name(a, b DESC) primary unique: why left out"
std::vector<std::string> Describe(const std::vector<db::SourceIndex>& indexes) {
  std::vector<std::string> out;
  for (const auto& index : indexes) {
    std::string s = index.name + "(";
    for (size_t i = 0; i < index.columns.size(); ++i)
      s += (i ? ", " : "") + index.columns[i] + (index.descending.at(i) ? " DESC" : "");
    s += ")";
    if (index.primary) s += " primary";
    if (index.unique) s += " unique";
    if (!index.left_out.empty()) s += ": " + index.left_out;
    out.push_back(s);
  }
  return out;
}

std::string Describe(const db::SourceColumn& c) {
  std::string s = c.name + " " + c.type + " [" + c.base_type + " " + std::string(1, c.category);
  if (c.length >= 0) s += " length " + std::to_string(c.length);
  if (c.precision >= 0) s += " (" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
  s += "]";
  if (c.not_null) s += " not null";
  if (!c.default_expression.empty()) s += " default " + c.default_expression;
  if (c.identity) s += " identity";
  return s;
}

std::vector<std::string> Describe(const std::vector<db::SourceColumn>& columns) {
  std::vector<std::string> out;
  for (const auto& c : columns) out.push_back(Describe(c));
  return out;
}

std::string Describe(const db::SourceForeignKey& k) {
  std::string s = k.name + " (";
  for (size_t i = 0; i < k.columns.size(); ++i) s += (i ? ", " : "") + k.columns[i];
  s += ") -> " + k.referenced_schema + "." + k.referenced_table + " (";
  for (size_t i = 0; i < k.referenced_columns.size(); ++i) s += (i ? ", " : "") + k.referenced_columns[i];
  s += ") update " + std::string(1, k.on_update) + " delete " + std::string(1, k.on_delete);
  if (k.deferrable) s += " deferrable";
  return s;
}

TEST(SourceSchema, ColumnsKeysIndexesAndChecksOfEveryTableInFiveQueries) {
  REQUIRE_PG(pg);
  const std::string database = "pelmora_db_source_schema";
  Dropped dropped{pg, database};
  ASSERT_TRUE(MakeDatabase(pg, database, kCatalogue));
  std::vector<std::string> sent;
  auto source = Connect(pg, database, sent);
  const auto tables = db::ReadSourceSchema(*source);
  EXPECT_EQ(sent.size(), 5u);  // columns, indexes, foreign keys, checks, children's columns: not one per table

  // Partitions at every depth and inheritance children are left out; views too.
  const std::string odd = kOddSchema;
  EXPECT_EQ(Names(tables), (std::vector<std::string>{odd + ".Order \"Lines\"", "public.categories", "public.customers",
                                                     "public.measurements", "public.orders", "public.readings",
                                                     "sales.orders", "sales.select"}));

  const db::SourceTable* customers = Find(tables, "public", "customers");
  ASSERT_NE(customers, nullptr);
  EXPECT_EQ(Describe(customers->columns),
            (std::vector<std::string>{
                "id bigint [int8 N] not null default nextval('customers_id_seq'::regclass) identity",
                "email character varying(80) [varchar S length 80] not null",
                "nick character(12) [bpchar S length 12]",
                "region integer [int4 N] not null",
                "code integer [int4 N] not null",
                "tags integer[] [_int4 A]",
                "created timestamp with time zone [timestamptz D] default now()",
            }));
  EXPECT_EQ(Describe(customers->indexes),
            (std::vector<std::string>{
                "customers_pkey(id) primary unique",
                "customers_active(code): a partial index",
                "customers_code_incl(code) unique: INCLUDE columns",
                "customers_email_key(email) unique",
                "customers_lower_email(): an expression index",
                "customers_nick_desc(region, nick DESC)",
                "customers_nick_nnd(nick) unique: NULLS NOT DISTINCT",
                "customers_tags(tags): a gin index",
            }));

  EXPECT_EQ(customers->checks, std::vector<std::string>{"customers_code_positive: CHECK ((code > 0))"});

  const db::SourceTable* orders = Find(tables, "public", "orders");
  ASSERT_NE(orders, nullptr);
  EXPECT_EQ(orders->checks,
            std::vector<std::string>{
                "postal_code_check of domain postal_code (column zip): CHECK (((VALUE)::text <> ''::text))"});
  EXPECT_EQ(Describe(orders->columns),
            (std::vector<std::string>{
                "customer_id bigint [int8 N] not null",
                // a sequence the column does not own is no identity
                "line integer [int4 N] not null default nextval('shared_seq'::regclass)",
                "amount numeric(10,2) [numeric N (10,2)] default 0",
                "ratio numeric [numeric N]",
                "feeling mood [mood E]",
                // through two domains: the inner one's length and NOT NULL
                "zip postal_code [varchar S length 10] not null",
            }));
  EXPECT_EQ(Describe(orders->indexes), std::vector<std::string>{"orders_pkey(customer_id, line) primary unique"});
  ASSERT_EQ(orders->foreign_keys.size(), 1u);
  EXPECT_EQ(Describe(orders->foreign_keys[0]),
            "orders_customer_id_fkey (customer_id) -> public.customers (id) update a delete a");

  const db::SourceTable* categories = Find(tables, "public", "categories");
  ASSERT_NE(categories, nullptr);
  EXPECT_EQ(Describe(categories->columns[0]), "id integer [int4 N] not null identity");
  ASSERT_EQ(categories->foreign_keys.size(), 1u);
  EXPECT_EQ(Describe(categories->foreign_keys[0]),
            "categories_parent (parent_id) -> public.categories (id) update n delete c deferrable");

  // PostgreSQL copies a key to a partitioned table once per partition; only
  // the key itself is read.
  const db::SourceTable* readings = Find(tables, "public", "readings");
  ASSERT_NE(readings, nullptr);
  ASSERT_EQ(readings->foreign_keys.size(), 1u);
  EXPECT_EQ(Describe(readings->foreign_keys[0]),
            "readings_taken_fkey (taken) -> public.measurements (taken) update a delete a");
  const db::SourceTable* measurements = Find(tables, "public", "measurements");
  ASSERT_NE(measurements, nullptr);
  EXPECT_EQ(Describe(measurements->indexes), std::vector<std::string>{"measurements_pkey(taken) primary unique"});

  const db::SourceTable* select = Find(tables, "sales", "select");
  ASSERT_NE(select, nullptr);
  ASSERT_EQ(select->columns.size(), 3u);
  EXPECT_EQ(select->columns[1].name, "my \"quoted\" col");
  EXPECT_EQ(select->columns[2].name, "two words");

  // The column of an inheritance child its parent lacks: its rows come without it.
  const db::SourceTable* sales_orders = Find(tables, "sales", "orders");
  ASSERT_NE(sales_orders, nullptr);
  EXPECT_EQ(sales_orders->child_columns, std::vector<std::string>{"sales.old_orders.archived"});
}

TEST(SourceSchema, TheSchemasAndViewsAskedForAndTheirQueries) {
  REQUIRE_PG(pg);
  const std::string database = "pelmora_db_source_schemas";
  Dropped dropped{pg, database};
  ASSERT_TRUE(MakeDatabase(pg, database, kCatalogue));
  std::vector<std::string> sent;
  auto source = Connect(pg, database, sent);
  const std::string odd = kOddSchema;

  // Without its parent's schema an inheritance child is listed: nothing else
  // would carry its rows.
  auto tables = db::ReadSourceSchema(*source, {odd});
  EXPECT_EQ(Names(tables), (std::vector<std::string>{odd + ".Order \"Lines\"", odd + ".archived orders"}));
  ASSERT_FALSE(tables.empty());
  EXPECT_EQ(db::QualifiedName(tables[0]), "\"Odd \"\"Q's\\ schema\".\"Order \"\"Lines\"\"\"");
  tables = db::ReadSourceSchema(*source, {"sales", odd});
  EXPECT_EQ(Names(tables), (std::vector<std::string>{odd + ".Order \"Lines\"", "sales.orders", "sales.select"}));
  // Every name quoted as the server reads it: each table's query runs.
  for (const auto& table : tables) {
    SCOPED_TRACE(db::QualifiedName(table));
    EXPECT_NO_THROW(source->Execute(db::SourceQuery(table))->Close());
  }
  const db::SourceTable* sales_select = Find(tables, "sales", "select");
  ASSERT_NE(sales_select, nullptr);
  auto select = source->Execute(db::SourceQuery(*sales_select, db::QuoteIdentifier("my \"quoted\" col")));
  ASSERT_FALSE(select->Eof());
  EXPECT_EQ(select->Fields(size_t{0}).Value().ToText(), "a");
  select->Close();

  tables = db::ReadSourceSchema(*source, {"public"}, true);
  EXPECT_EQ(Names(tables), (std::vector<std::string>{"public.categories", "public.customer_view (view)",
                                                     "public.customers", "public.measurements",
                                                     "public.order_totals (view)", "public.orders",
                                                     "public.readings"}));
  const db::SourceTable* view = Find(tables, "public", "customer_view");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(Describe(view->columns), (std::vector<std::string>{"id bigint [int8 N]",
                                                               "email character varying(80) [varchar S length 80]"}));

  // A schema name is a literal, never SQL.
  EXPECT_TRUE(db::ReadSourceSchema(*source, {"x') OR true OR n.nspname IN ('"}).empty());
  EXPECT_TRUE(db::ReadSourceSchema(*source, {"nowhere"}).empty());
}

TEST(ColumnFacts, WhatTheTypeMappingNeedsInOneQueryAndTheTextLengthsOfWhatAccessCannotHoldInASecond) {
  REQUIRE_PG(pg);
  const std::string database = "pelmora_db_source_facts";
  Dropped dropped{pg, database};
  ASSERT_TRUE(MakeDatabase(pg, database, R"(
CREATE DOMAIN small_code AS smallint;
CREATE TABLE "value facts" (
  "select" bigint, flag boolean, code small_code,
  amount numeric, exact numeric, reading float8,
  at timestamp, stamp timestamptz, day date, clock time,
  price money, fine money,
  note text, tags int[], blob bytea
);
INSERT INTO "value facts" VALUES
  (-9223372036854775808, NULL, 7, 12.50, 0.1, 1.5, '2020-01-01 00:00:00.0015', '2020-01-01 12:00+00', '2020-02-29',
   '10:00:00.5', '92233720368547758.07', '922337203685477.00', U&'a\+01F600b', '{1,2,3}', '\x0001020304'),
  (9223372036854775807, NULL, -3, -1234.5, 2.5, '-Infinity', 'infinity', '0050-01-01 00:00+00', '9999-12-31',
   '10:00:00.0001', '-1', '-922337203685477.00', U&'\00E9\00E9\00E9', NULL, NULL),
  (NULL, NULL, NULL, 'NaN', -3, NULL, '2021-05-05 10:00:00.123', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (NULL, NULL, NULL, 0.001, 100, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
CREATE TABLE empty (n int, t text);
)"));
  std::vector<std::string> sent;
  auto source = Connect(pg, database, sent);
  auto tables = db::ReadSourceSchema(*source);
  ASSERT_EQ(Names(tables), (std::vector<std::string>{"public.empty", "public.value facts"}));
  sent.clear();
  const auto facts = db::ReadColumnFacts(*source, tables[1]);
  // The aggregates, then the text lengths of the columns kept as text.
  EXPECT_EQ(sent.size(), 2u);
  ASSERT_EQ(facts.size(), 15u);
  const db::ColumnFacts &big = facts[0], &flag = facts[1], &code = facts[2], &amount = facts[3], &exact = facts[4],
                        &reading = facts[5], &at = facts[6], &stamp = facts[7], &day = facts[8], &clock = facts[9],
                        &price = facts[10], &fine = facts[11], &note = facts[12], &tags = facts[13],
                        &blob = facts[14];

  EXPECT_EQ(big.min_integer, INT64_MIN);
  EXPECT_EQ(big.max_integer, INT64_MAX);
  EXPECT_TRUE(big.has_null);
  EXPECT_TRUE(flag.has_null);
  EXPECT_FALSE(flag.any_value);
  EXPECT_EQ(code.min_integer, -3);  // through the domain
  EXPECT_EQ(code.max_integer, 7);

  // 12.50 keeps its stored scale, so its text is not float8's.
  EXPECT_EQ(amount.max_scale, 3);
  EXPECT_EQ(amount.max_integer_digits, 4);
  EXPECT_FALSE(amount.numeric_text_round_trips_as_double);
  EXPECT_TRUE(amount.special_floats);
  EXPECT_EQ(exact.max_scale, 1);
  EXPECT_EQ(exact.max_integer_digits, 3);
  EXPECT_TRUE(exact.numeric_text_round_trips_as_double);
  EXPECT_FALSE(exact.special_floats);
  EXPECT_TRUE(reading.special_floats);
  EXPECT_EQ(amount.max_utf16_length, 7);   // -1234.5
  EXPECT_EQ(reading.max_utf16_length, 9);  // -Infinity
  EXPECT_EQ(exact.max_utf16_length, 0);    // a Decimal: not measured

  EXPECT_TRUE(at.dates_outside_access);  // infinity
  EXPECT_EQ(at.finer_than_millisecond, 1);
  EXPECT_TRUE(stamp.dates_outside_access);  // the year 50
  EXPECT_EQ(stamp.finer_than_millisecond, 0);
  EXPECT_FALSE(day.dates_outside_access);
  EXPECT_EQ(clock.finer_than_millisecond, 1);

  EXPECT_TRUE(price.beyond_currency);
  EXPECT_FALSE(fine.beyond_currency);

  EXPECT_EQ(note.max_utf16_length, 4);  // the emoji counts 2; the accents 1 each
  EXPECT_EQ(tags.max_utf16_length, 7);  // {1,2,3}
  EXPECT_EQ(blob.max_octets, 5);
  EXPECT_EQ(blob.max_utf16_length, 0);

  const auto none = db::ReadColumnFacts(*source, tables[0]);
  ASSERT_EQ(none.size(), 2u);
  for (const auto& f : none) {
    EXPECT_FALSE(f.any_value);
    EXPECT_FALSE(f.has_null);
  }
  EXPECT_FALSE(none[0].min_integer.has_value());

  db::SourceTable gone = tables[0];
  gone.name = "gone";
  EXPECT_THROW(db::ReadColumnFacts(*source, gone), ado::Error);
}

}  // namespace

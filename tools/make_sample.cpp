// pelmora_make_sample OUTPUT: writes the sample database that ships beside
// the program (Samples/sample.mdb): a new, empty Access 2000 database filled
// through the engine's own SQL with three small tables — customers, products
// and orders — holding text, numbers, money, dates, memos and Yes/No values.
// Run at build time; an existing OUTPUT is replaced.

#include <fmt/format.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/jet/public/database.h"
#include "platform/jet/public/create.h"

namespace {

// 2024-01-01 00:00, so that every build writes the same header.
constexpr double kSampleCreationDate = 45292.0;

const std::vector<std::string> kStatements = {
    "CREATE TABLE Customers (CustomerID LONG NOT NULL, CompanyName VARCHAR(60) NOT NULL, ContactName VARCHAR(40), "
    "City VARCHAR(30), Country VARCHAR(30), CustomerSince DATETIME, Active BIT, Notes MEMO)",
    "INSERT INTO Customers VALUES (1, 'Hanse Handelshaus', 'Greta Brandt', 'Berlin', 'Germany', "
    "#2019-03-14#, TRUE, 'Prefers delivery on Mondays.')",
    "INSERT INTO Customers VALUES (2, 'Océan Bleu SARL', 'Frédérique Citeaux', 'Marseille', 'France', "
    "#2020-07-01#, TRUE, 'Invoices in French, please — merci.')",
    "INSERT INTO Customers VALUES (3, 'Lindqvist & Söner', 'Åsa Lindqvist', 'Göteborg', 'Sweden', "
    "#2021-11-23#, FALSE, NULL)",
    "INSERT INTO Customers VALUES (4, 'Sakura Shōten', '佐藤 花子', 'Kyoto', 'Japan', #2022-04-05#, TRUE, "
    "'Orders arrive by sea freight 🚢; allow six weeks.')",
    "INSERT INTO Customers VALUES (5, 'O''Brien Hardware', 'Sean O''Brien', 'Cork', 'Ireland', NULL, TRUE, '')",
    "INSERT INTO Customers VALUES (6, 'Pampas Provisiones', 'Lucía Fernández', 'Buenos Aires', 'Argentina', "
    "#2023-09-30#, FALSE, 'Account closed at the customer''s request.')",

    "CREATE TABLE Products (ProductID LONG NOT NULL, ProductName VARCHAR(50) NOT NULL, Category VARCHAR(25), "
    "UnitPrice MONEY, UnitsInStock SMALLINT, WeightKg DOUBLE, Discontinued BIT, Description MEMO)",
    "INSERT INTO Products VALUES (1, 'Darjeeling Tea', 'Beverages', 18.00, 39, 0.25, FALSE, "
    "'First flush leaves from the foothills of the Himalaya.')",
    "INSERT INTO Products VALUES (2, 'Espresso Beans', 'Beverages', 22.50, 17, 1.0, FALSE, NULL)",
    "INSERT INTO Products VALUES (3, 'Maple Syrup', 'Condiments', 28.95, 113, 0.5, FALSE, "
    "'Grade A amber, from Québec.')",
    "INSERT INTO Products VALUES (4, 'Smoked Salmon', 'Seafood', 31.23, 0, 0.3, TRUE, 'No longer stocked.')",
    "INSERT INTO Products VALUES (5, 'Rye Crispbread', 'Bakery', 4.75, 250, 0.2, FALSE, "
    "'Baked in small batches; keeps for months.')",
    "INSERT INTO Products VALUES (6, 'Olive Oil 1 l', 'Condiments', 12.40, 64, 0.92, FALSE, NULL)",

    "CREATE TABLE Orders (OrderID LONG NOT NULL, CustomerID LONG NOT NULL, ProductID LONG NOT NULL, "
    "Quantity SMALLINT, OrderDate DATETIME, ShippedDate DATETIME, Freight MONEY, Paid BIT, Comment VARCHAR(120))",
    "INSERT INTO Orders VALUES (1001, 1, 1, 12, #2024-01-08 09:30:00#, #2024-01-10#, 8.50, TRUE, NULL)",
    "INSERT INTO Orders VALUES (1002, 2, 3, 4, #2024-01-15 14:05:00#, #2024-01-19#, 12.00, TRUE, 'Gift wrap')",
    "INSERT INTO Orders VALUES (1003, 4, 2, 30, #2024-02-02 08:00:00#, #2024-03-15#, 145.20, FALSE, "
    "'Sea freight')",
    "INSERT INTO Orders VALUES (1004, 1, 5, 50, #2024-02-20 16:45:00#, NULL, 0, FALSE, 'Awaiting stock')",
    "INSERT INTO Orders VALUES (1005, 5, 6, 6, #2024-03-01 11:11:00#, #2024-03-04#, 6.75, TRUE, NULL)",
    "INSERT INTO Orders VALUES (1006, 3, 1, 2, #2024-03-12 10:20:00#, #2024-03-13#, 4.00, TRUE, '')",
    "INSERT INTO Orders VALUES (1007, 2, 5, 10, #2024-04-03 13:00:00#, #2024-04-06#, 9.10, FALSE, NULL)",
};

int Fail(const std::string& what) {
  fmt::print(stderr, "pelmora_make_sample: {}\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fmt::print(stderr, "usage: pelmora_make_sample OUTPUT.mdb\n");
    return 2;
  }
  const std::string output = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(output).parent_path(), ec);
  // Built beside the output, then moved over the previous build's sample.
  const std::string building = output + ".building";
  std::filesystem::remove(building, ec);
  if (auto done = jet::CreateBlankDatabase(building, {.creation_date = kSampleCreationDate}); !done)
    return Fail(done.error().message);
  {
    auto db = jet::Database::Open(building, {.writable = true});
    if (!db) return Fail(db.error().message);
    for (const auto& sql : kStatements)
      if (auto done = (*db)->Execute(sql); !done) return Fail(done.error().message + " in: " + sql);
    if (auto closed = (*db)->Close(); !closed) return Fail(closed.error().message);
  }
  std::filesystem::rename(building, output, ec);
  if (ec) return Fail("cannot move the sample into place: " + ec.message());
  return 0;
}

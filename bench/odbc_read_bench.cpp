// Reads a PostgreSQL table through the ODBC provider (ado::Connection and
// Recordset with the server-side cursor, as the conversion run reads its
// source) and prints rows per second and resident memory. Memory after the
// first million rows and at the end must be about the same: rows stream.
//
// The table (id integer, amount numeric, label text, created timestamp,
// ratio double precision) is made with generate_series the first time.
// The server comes from PELMORA_TEST_PG_HOST/PORT/USER/PASSWORD/DATABASE
// (scripts/lib.sh start_postgres sets them).
//
//   odbc_read_bench [--rows N]

#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ado/connection.h"
#include "platform/ado/data_type.h"
#include "platform/ado/error.h"
#include "platform/ado/recordset.h"

namespace {

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

long CurrentRssKiB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// CPU time of this process (the provider, the driver and libpq), apart from
// the server's, which elapsed time includes.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void EnsureTable(const std::string& connection_string, const std::string& table, long long rows) {
  auto connection = ado::CreateConnection();
  connection->CursorLocation = ado::adUseClient;
  connection->CommandTimeout = 0;
  connection->Open(connection_string);
  auto found = connection->Execute(fmt::format("SELECT count(*) FROM pg_tables WHERE tablename = '{}'", table));
  if (found->Fields(0).Value().ToText() != "0") return;
  fmt::print("creating {} with {} rows...\n", table, rows);
  std::fflush(stdout);
  auto start = std::chrono::steady_clock::now();
  connection->Execute(fmt::format(
      "CREATE TABLE \"{0}\" AS SELECT i AS id, round((i % 1000000) / 100.0, 2)::numeric(12,2) AS amount, "
      "'customer ' || i || ' O''Brien' AS label, "
      "timestamp '2021-08-31 00:00:00' + i * interval '1 second' AS created, i / 7.0::float8 AS ratio "
      "FROM generate_series(1, {1}) AS i",
      table, rows));
  connection->Execute(fmt::format("ANALYZE \"{}\"", table));
  fmt::print("created in {:.1f} s\n", Seconds(start));
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Reads a PostgreSQL table through the ODBC provider");
  long long rows = 5'000'000;
  app.add_option("--rows", rows, "rows of the table to read")->check(CLI::PositiveNumber);
  CLI11_PARSE(app, argc, argv);

  if (Env("PELMORA_TEST_PG_PORT", "").empty()) {
    fmt::print("skipped: no test PostgreSQL (set PELMORA_TEST_PG_* or run scripts/lib.sh start_postgres)\n");
    return 0;
  }
  std::string connection_string = fmt::format(
      "Driver={{PostgreSQL Unicode}};Server={};Port={};Uid={};Pwd={};Database={}", Env("PELMORA_TEST_PG_HOST", "127.0.0.1"),
      Env("PELMORA_TEST_PG_PORT", ""), Env("PELMORA_TEST_PG_USER", "pelmora"), Env("PELMORA_TEST_PG_PASSWORD", ""),
      Env("PELMORA_TEST_PG_DATABASE", "postgres"));
  std::string table = fmt::format("odbc_read_bench_{}", rows);

  try {
    EnsureTable(connection_string, table, rows);
    long rss_before = CurrentRssKiB();

    auto connection = ado::CreateConnection();
    connection->CursorLocation = ado::adUseServer;  // as the run's source connection
    connection->CommandTimeout = 5000;
    connection->ConnectionTimeout = 5000;
    connection->Open(connection_string);

    auto start = std::chrono::steady_clock::now();
    double cpu_start = CpuSeconds();
    auto recordset = ado::CreateRecordset();
    recordset->Open(fmt::format("SELECT * FROM \"{}\"", table), *connection);
    double first_row_seconds = Seconds(start);
    long long n = 0;
    size_t text_bytes = 0;
    long peak_at_million = 0, current_at_million = 0;
    double seconds_at_million = 0;
    size_t fields = recordset->FieldCount();
    for (; !recordset->Eof(); recordset->MoveNext()) {
      // The text form of every value, as the row statement builder takes it.
      for (size_t i = 0; i < fields; ++i) text_bytes += recordset->Fields(i).Value().ToText().size();
      if (++n == 1'000'000) {
        peak_at_million = PeakRssKiB();
        current_at_million = CurrentRssKiB();
        seconds_at_million = Seconds(start);
      }
    }
    double seconds = Seconds(start);
    double cpu_seconds = CpuSeconds() - cpu_start;
    recordset->Close();
    connection->Close();

    fmt::print("table {}: {} rows x {} columns, {} bytes of value text\n", table, n, fields, text_bytes);
    fmt::print("first row after        {:8.3f} s (rows stream when this is small)\n", first_row_seconds);
    fmt::print("read                   {:8.2f} s = {:.0f} rows/s\n", seconds, n / seconds);
    fmt::print("client CPU             {:8.2f} s = {:.0f} rows per CPU second\n", cpu_seconds, n / cpu_seconds);
    if (n >= 1'000'000)
      fmt::print("first 1,000,000 rows   {:8.2f} s = {:.0f} rows/s\n", seconds_at_million,
                 1'000'000 / seconds_at_million);
    fmt::print("resident before read   {:8} KiB\n", rss_before);
    if (n >= 1'000'000)
      fmt::print("after 1,000,000 rows   {:8} KiB now, {} KiB peak\n", current_at_million, peak_at_million);
    fmt::print("at the end             {:8} KiB now, {} KiB peak\n", CurrentRssKiB(), PeakRssKiB());
  } catch (const ado::Error& e) {
    fmt::print(stderr, "error {}: {}\n", e.Number(), e.Description());
    return 1;
  }
  return 0;
}

// How fast rows go into an Access table, and what they cost on disk and in
// memory: a 5-column row (Long, Text(50), Double, Date/Time, Memo) into a new
// table of a copy of an empty fixture, through the engine's table appender
// and end to end through Database::Execute("INSERT INTO ...").
//
//   insert_bench [--fixture FILE] [--password P] [--rows N] [--mode appender|sql|both] [--out DIR]
//
// The cost of page encryption: the same stream into an encrypted copy, e.g.
//   insert_bench --mode sql --fixture .../empty-2010.accdb
//   insert_bench --mode sql --fixture .../encrypted-agile.accdb --password password
//
// Prints rows per second, bytes of file per row against the raw data size,
// and the peak resident memory after each million rows (it must not grow
// with the row count).

#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/jet/public/database.h"
#include "platform/jet/file/pager.h"
#include "platform/jet/format/numeric.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/page_allocator.h"
#include "platform/jet/table/table_appender.h"

namespace {

using namespace jet;

std::string g_password;  // the fixture's database password
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "insert_bench: %s\n", what.c_str());
  std::exit(1);
}

void Must(const Status& s) {
  if (!s) Die(s.error().message);
}
template <typename T>
T Must(Result<T> r) {
  if (!r) Die(r.error().message);
  return std::move(r).value();
}

long PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

const char* kCreate = "CREATE TABLE bench (id LONG, name VARCHAR(50), price DOUBLE, created DATETIME, note MEMO)";

// Row i's values, as cells and as the raw size of its data.
struct RowSource {
  char name[64];
  char note[64];
  double base_date = format::CivilToOleDate({2024, 1, 1, 0, 0, 0, 0});

  size_t Fill(uint64_t i, std::vector<Cell>& cells) {
    int name_len = std::snprintf(name, sizeof name, "customer %llu", static_cast<unsigned long long>(i));
    int note_len = std::snprintf(note, sizeof note, "order note %llu, shipped", static_cast<unsigned long long>(i * 7));
    cells[0] = int64_t(i);
    cells[1] = std::string(name, name_len);
    cells[2] = static_cast<double>(i % 100000) / 100.0;
    cells[3] = DateTimeValue{base_date + static_cast<double>(i % 86400) / 86400.0};
    cells[4] = std::string(note, note_len);
    return 4 + name_len + 8 + 8 + note_len;
  }

  // The same row as an INSERT statement.
  std::string Sql(uint64_t i) {
    std::vector<Cell> cells(5);
    Fill(i, cells);
    auto when = *format::OleDateToCivil(std::get<DateTimeValue>(cells[3]).days);
    return fmt::format("INSERT INTO bench VALUES ({}, '{}', {}, '{:04}-{:02}-{:02} {:02}:{:02}:{:02}', '{}')", i, name,
                       std::get<double>(cells[2]), when.year, when.month, when.day, when.hour, when.minute,
                       when.second, note);
  }
};

std::string Copy(const std::string& fixture, const std::string& out_dir, const std::string& name) {
  fs::create_directories(out_dir);
  std::string path = (fs::path(out_dir) / name).string();
  fs::remove(path);
  fs::copy_file(fixture, path);
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
  return path;
}

void CreateTable(const std::string& path) {
  OpenOptions options;
  options.writable = true;
  options.password = g_password;
  auto db = Must(Database::Open(path, options));
  Must(db->Execute(kCreate));
  Must(db->Close());
}

void Report(const char* mode, uint64_t rows, double seconds, const std::string& path, uint64_t raw_bytes,
            uint64_t empty_size) {
  uint64_t size = fs::file_size(path);
  fmt::print("{}: {} rows in {:.2f} s = {:.0f} rows/s; file {:.1f} MiB, {:.1f} bytes per row "
             "(raw data {:.1f} bytes per row, x{:.2f}); peak RSS {} MiB\n",
             mode, rows, seconds, rows / seconds, size / 1048576.0, double(size - empty_size) / rows,
             double(raw_bytes) / rows, double(size - empty_size) / raw_bytes, PeakRssMiB());
}

void RunAppender(const std::string& fixture, const std::string& out_dir, uint64_t rows) {
  std::string path = Copy(fixture, out_dir, "insert_bench_appender" + fs::path(fixture).extension().string());
  CreateTable(path);
  uint64_t empty_size = fs::file_size(path);
  PagerOptions options;
  options.writable = true;
  options.password = g_password;
  auto pager = Must(Pager::Open(path, options));
  table::PageAllocator pages(*pager);
  uint32_t tdef = 0;
  for (const auto& o : Must(table::ReadCatalog(*pager)))
    if (o.name == "bench") tdef = o.tdef_page();
  if (!tdef) Die("the bench table was not created");
  auto appender = Must(table::TableAppender::Open(*pager, pages, tdef));

  RowSource source;
  std::vector<Cell> cells(5);
  uint64_t raw = 0;
  auto start = Clock::now();
  for (uint64_t i = 1; i <= rows; ++i) {
    raw += source.Fill(i, cells);
    Must(appender->Insert(cells));
    if (i % 65536 == 0) {  // a commit every ~1000 pages keeps memory flat
      Must(appender->Finish());
      Must(pager->Commit());
    }
    if (i % 1000000 == 0)
      fmt::print("  {} rows, {:.0f} rows/s so far, peak RSS {} MiB\n", i,
                 i / std::chrono::duration<double>(Clock::now() - start).count(), PeakRssMiB());
  }
  Must(appender->Finish());
  Must(pager->Commit());
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  appender.reset();
  pager.reset();
  Report("appender", rows, seconds, path, raw, empty_size);
}

void RunSql(const std::string& fixture, const std::string& out_dir, uint64_t rows) {
  std::string path = Copy(fixture, out_dir, "insert_bench_sql" + fs::path(fixture).extension().string());
  CreateTable(path);
  uint64_t empty_size = fs::file_size(path);
  OpenOptions options;
  options.writable = true;
  options.password = g_password;
  auto db = Must(Database::Open(path, options));
  RowSource source;
  std::vector<Cell> cells(5);
  uint64_t raw = 0;
  // Statement texts are made before the clock starts: their making is not the engine's work.
  constexpr uint64_t kBatch = 100000;
  std::vector<std::string> batch;
  double seconds = 0;
  for (uint64_t done = 0; done < rows;) {
    batch.clear();
    uint64_t n = std::min(kBatch, rows - done);
    for (uint64_t k = 1; k <= n; ++k) {
      raw += source.Fill(done + k, cells);
      batch.push_back(source.Sql(done + k));
    }
    auto start = Clock::now();
    for (const auto& sql : batch) Must(db->Execute(sql));
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    done += n;
    if (done % 1000000 == 0)
      fmt::print("  {} statements, {:.0f} per second so far, peak RSS {} MiB\n", done, done / seconds, PeakRssMiB());
  }
  auto start = Clock::now();
  Must(db->Close());
  seconds += std::chrono::duration<double>(Clock::now() - start).count();
  db.reset();
  Report("INSERT statements", rows, seconds, path, raw, empty_size);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Rows per second, bytes per row and peak memory of inserts into an Access table");
  std::string fixture = std::string(PELMORA_SOURCE_DIR) + "/../shared/fixtures/access/empty-2010.accdb";
  uint64_t rows = 5000000;
  std::string mode = "both";
  std::string out_dir = (fs::temp_directory_path() / "pelmora-insert-bench").string();
  app.add_option("--fixture", fixture, "Empty Access file to copy")->check(CLI::ExistingFile);
  app.add_option("--password", g_password, "The fixture's database password");
  app.add_option("--rows", rows, "Rows to insert");
  app.add_option("--mode", mode, "appender, sql or both")->check(CLI::IsMember({"appender", "sql", "both"}));
  app.add_option("--out", out_dir, "Folder for the copies");
  CLI11_PARSE(app, argc, argv);
  fmt::print("inserting {} rows (Long, Text(50), Double, Date/Time, Memo) into a copy of {}\n", rows, fixture);
  if (mode == "appender" || mode == "both") RunAppender(fixture, out_dir, rows);
  if (mode == "sql" || mode == "both") RunSql(fixture, out_dir, rows);
  return 0;
}

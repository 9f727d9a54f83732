// What indexes cost: CREATE INDEX on a table that holds rows already, and
// INSERTs into a table whose primary key and indexes grow with every row,
// against the same INSERTs into a table without indexes. Each part runs on a
// new blank database (jet::CreateBlankDatabase) in a temporary folder, all of
// it through Database::Execute.
//
//   index_bench [ROWS] [--format 2000|2016] [--budget SECONDS] [--case TEXT] [--no-check] [--keep]
//
// (a) fills a table (Long, Text(50), Double) with ROWS INSERTs (default
//     1,000,000), untimed, then times CREATE INDEX on the Long column and on
//     the Text(50) column, each up to its commit on disk; the keys arrive in
//     no particular order.
// (b) times ROWS INSERTs into a table with a primary key (Long) and two more
//     indexes (Text(50), and a Long with many duplicates), with keys in no
//     particular order and with ascending ids; then into tables with each of
//     those indexes alone, and into the same table without indexes; each up
//     to Close. A table with indexes stops short of ROWS once its INSERTs have
//     taken --budget seconds (default 15), which keeps the run near two
//     minutes however slow they are; its rate is then the rate at a smaller
//     table, and says so.
//
// --case runs only the (b) tables whose description begins with TEXT (for a
// profiler: "primary key + 2 indexes" alone is most of what INSERTs cost);
// --no-check skips the untimed check of each (b) table, which would
// otherwise fill most of a profile.
//
// Prints rows per second beside the goals; nothing is asserted.

#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/public/create.h"
#include "platform/jet/public/database.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "index_bench: %s\n", what.c_str());
  std::exit(1);
}

void Must(const jet::Status& s, const std::string& doing) {
  if (!s) Die(doing + ": " + s.error().message);
}
template <typename T>
T Must(jet::Result<T> r, const std::string& doing) {
  if (!r) Die(doing + ": " + r.error().message);
  return std::move(r).value();
}

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

long PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// Row i's key: a permutation of 1..rows (i times a large odd number modulo a
// power of two above rows, stepped past values over rows), so that neither
// the table's order nor the insert order is the key order.
struct Keys {
  uint64_t rows;
  uint64_t mask;
  explicit Keys(uint64_t n) : rows(n), mask(1) {
    while (mask < n) mask <<= 1;
    mask -= 1;
  }
  uint64_t operator()(uint64_t i) const {  // i in 1..rows -> a distinct value in 1..rows
    uint64_t x = i - 1;
    do x = (x * 0x9E3779B1u + 0x7F4A7C15u) & mask;
    while (x >= rows);
    return x + 1;
  }
};

struct Bench {
  fs::path folder;
  jet::BlankFormat format = jet::BlankFormat::kAccess2016;
  uint64_t rows = 1000000;
  double budget = 15;  // seconds of INSERTs into each table with indexes
  std::string only;    // --case: the (b) tables whose description begins with it
  bool check = true;   // --no-check: skip the untimed Check (it dominates a profile)

  std::string NewFile(const std::string& stem) {
    std::string path = (folder / (stem + (jet::IsAccdbFormat(format) ? ".accdb" : ".mdb"))).string();
    fs::remove(path);
    Must(jet::CreateBlankDatabase(path, {.format = format}), "creating " + path);
    return path;
  }

  static std::unique_ptr<jet::Database> Open(const std::string& path) {
    jet::OpenOptions options;
    options.writable = true;
    return Must(jet::Database::Open(path, options), "opening " + path);
  }

  // Runs the INSERTs of rows 1..rows, made in batches before the clock starts
  // (their making is not the engine's work), stopping early once the engine
  // has spent `budget` seconds (0: no limit). The engine's seconds and the rows done.
  struct Done {
    double seconds = 0;
    uint64_t rows = 0;
  };
  template <typename MakeSql>
  Done Insert(jet::Database& db, MakeSql make_sql, bool progress, double budget = 0) {
    constexpr uint64_t kBatch = 100000;
    std::vector<std::string> batch;
    batch.reserve(kBatch);
    Done done;
    uint64_t next_progress = 250000;
    while (done.rows < rows) {
      batch.clear();
      uint64_t n = std::min(kBatch, rows - done.rows);
      for (uint64_t k = 1; k <= n; ++k) batch.push_back(make_sql(done.rows + k));
      auto start = Clock::now();
      bool over = false;
      for (uint64_t k = 0; k < n && !over; ++k) {
        Must(db.Execute(batch[k]), "INSERT");
        ++done.rows;
        if (budget > 0 && (k + 1) % 1024 == 0) over = done.seconds + Since(start) >= budget;
      }
      done.seconds += Since(start);
      if (progress && (done.rows >= next_progress || over)) {
        fmt::print("    {} rows, {:.0f} rows/s so far\n", done.rows, done.rows / done.seconds);
        while (next_progress <= done.rows) next_progress += 250000;
      }
      if (over) break;
    }
    return done;
  }

  // (a) CREATE INDEX on a table that holds `rows` rows.
  void CreateIndexOnRows() {
    fmt::print("(a) CREATE INDEX on a table of {} rows\n", rows);
    std::string path = NewFile("create_index");
    auto db = Open(path);
    Must(db->Execute("CREATE TABLE filled (id LONG, name TEXT(50), amount DOUBLE)"), "CREATE TABLE");
    Keys key(rows);
    char name[64];
    auto fill_start = Clock::now();
    double fill = Insert(
                      *db,
                      [&](uint64_t i) {
                        std::snprintf(name, sizeof name, "customer %llu of the north",
                                      static_cast<unsigned long long>(key(rows + 1 - i)));
                        return fmt::format("INSERT INTO filled (id, name, amount) VALUES ({}, '{}', {})", key(i),
                                           name, double(i % 100000) / 4.0);
                      },
                      false)
                      .seconds;
    Must(db->Flush(), "Flush");
    fmt::print("    filled (untimed): {:.2f} s of INSERTs, {:.2f} s with making the statements, "
               "{:.0f} rows/s\n",
               fill, Since(fill_start), rows / fill);

    struct Case {
      const char* what;
      const char* sql;
      const char* goal;
      uint64_t goal_rate;
    };
    const Case cases[] = {
        {"Long key", "CREATE UNIQUE INDEX by_id ON filled (id)", "goal >= 1,000,000 rows/s", 1000000},
        {"Text(50) key", "CREATE UNIQUE INDEX by_name ON filled (name)", "goal >= 300,000 rows/s", 300000},
    };
    for (const auto& c : cases) {
      auto start = Clock::now();
      Must(db->Execute(c.sql), c.sql);
      double executed = Since(start);
      Must(db->Flush(), "Flush");
      double seconds = Since(start);
      fmt::print("    {:<13} {:.3f} s = {:>10.0f} rows/s ({}; {:.3f} s before the commit, "
                 "{:.0f} rows/s){}\n",
                 c.what, seconds, rows / seconds, c.goal, executed, rows / executed,
                 rows / seconds >= c.goal_rate ? "" : "  below the goal");
    }
    auto problems = Must(db->Check(), "Check");
    Must(db->Close(), "Close");
    fmt::print("    check: {}; file {:.1f} MiB; peak RSS {} MiB\n",
               problems.empty() ? "ok" : fmt::format("{} problems, first: {}", problems.size(), problems[0]),
               fs::file_size(path) / 1048576.0, PeakRssMiB());
  }

  // (b) INSERTs into a table with a primary key and two more indexes, and
  // into the same table without indexes.
  void InsertIntoIndexed() {
    fmt::print("(b) {} INSERTs (Long, Text(50), Long, Double); each table with indexes stops after {:g} s of "
               "INSERTs (--budget)\n",
               rows, budget);
    constexpr const char* kPlain = "CREATE TABLE rows_in (id LONG, name TEXT(50), code LONG, amount DOUBLE)";
    constexpr const char* kKeyed = "CREATE TABLE rows_in (id LONG PRIMARY KEY, name TEXT(50), code LONG, amount DOUBLE)";
    constexpr const char* kByName = "CREATE UNIQUE INDEX by_name ON rows_in (name)";
    constexpr const char* kByCode = "CREATE INDEX by_code ON rows_in (code)";
    struct Case {
      const char* what;
      std::vector<const char*> ddl;
      bool ascending;  // ids 1, 2, 3...; else ids and names in no particular order
      const char* goal;
    };
    const Case cases[] = {
        {"no indexes", {kPlain}, false, "for comparison; about 677,000 rows/s with insert_bench's row"},
        {"primary key + 2 indexes, keys in no order", {kKeyed, kByName, kByCode}, false, "goal >= 300,000 rows/s"},
        {"primary key + 2 indexes, ascending ids", {kKeyed, kByName, kByCode}, true, "goal >= 300,000 rows/s"},
        {"primary key (Long) only", {kKeyed}, false, "one index"},
        {"unique Text(50) index only", {kPlain, kByName}, false, "one index"},
        {"Long index of 1,000 values only", {kPlain, kByCode}, false, "one index"},
    };
    Keys key(rows);
    char name[64];
    double plain_rate = 0;
    for (const auto& c : cases) {
      if (!only.empty() && std::string_view(c.what).substr(0, only.size()) != only) continue;
      fmt::print("  {}:\n", c.what);
      std::string path = NewFile("insert_indexed");
      auto db = Open(path);
      for (const char* ddl : c.ddl) Must(db->Execute(ddl), ddl);
      Must(db->Flush(), "Flush");
      bool indexed = c.ddl.front() == kKeyed || c.ddl.size() > 1;
      Done done = Insert(
          *db,
          [&](uint64_t i) {
            std::snprintf(name, sizeof name, "customer %llu of the north",
                          static_cast<unsigned long long>(c.ascending ? i : key(rows + 1 - i)));
            return fmt::format("INSERT INTO rows_in (id, name, code, amount) VALUES ({}, '{}', {}, {})",
                               c.ascending ? i : key(i), name, i % 1000, double(i % 100000) / 4.0);
          },
          true, indexed ? budget : 0);
      auto start = Clock::now();
      auto problems = check ? Must(db->Check(), "Check") : std::vector<std::string>{};
      double check = Since(start);
      start = Clock::now();
      Must(db->Close(), "Close");
      done.seconds += Since(start);
      double rate = done.rows / done.seconds;
      if (!indexed) plain_rate = rate;
      fmt::print("    {} rows{} in {:.2f} s (to Close) = {:.0f} rows/s ({}){}; file {:.1f} MiB; "
                 "check {} ({:.2f} s, untimed); peak RSS {} MiB\n",
                 done.rows, done.rows < rows ? fmt::format(" of {} (stopped at the budget)", rows) : std::string(),
                 done.seconds, rate, c.goal,
                 !indexed || plain_rate == 0 ? std::string()
                                             : fmt::format(", {:.1f} % of no indexes", rate / plain_rate * 100),
                 fs::file_size(path) / 1048576.0,
                 !check ? "skipped" : problems.empty() ? "ok" : fmt::format("{} problems, first: {}", problems.size(), problems[0]),
                 check, PeakRssMiB());
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("CREATE INDEX on a table with rows, and INSERTs into a table with indexes: rows per second");
  Bench bench;
  std::string format = "2016";
  bool keep = false;
  app.add_option("rows", bench.rows, "Rows per table (default 1,000,000)")->check(CLI::Range(1, 100000000));
  app.add_option("--format", format, "2000 (.mdb) or 2016 (.accdb)")->check(CLI::IsMember({"2000", "2016"}));
  app.add_option("--budget", bench.budget,
                 "Seconds of INSERTs after which a table with indexes stops short of ROWS (0: no limit)")
      ->check(CLI::NonNegativeNumber);
  app.add_option("--case", bench.only, "Only the INSERT tables whose description begins with this");
  app.add_flag("!--no-check", bench.check, "Skip checking each table after its INSERTs (for profiling)");
  app.add_flag("--keep", keep, "Keep the temporary folder and its files");
  CLI11_PARSE(app, argc, argv);
  bench.format = format == "2000" ? jet::BlankFormat::kAccess2000 : jet::BlankFormat::kAccess2016;

  std::string pattern = (fs::temp_directory_path() / "pelmora-index-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) Die("cannot make a temporary folder");
  bench.folder = pattern;
  fmt::print("index_bench: {} rows per table, {} in {}\n", bench.rows, jet::DescribeFormat(bench.format),
             bench.folder.string());
  auto start = Clock::now();
  if (bench.only.empty()) bench.CreateIndexOnRows();
  bench.InsertIntoIndexed();
  fmt::print("whole run {:.1f} s\n", Since(start));
  if (keep)
    fmt::print("files kept in {}\n", bench.folder.string());
  else
    fs::remove_all(bench.folder);
  return 0;
}

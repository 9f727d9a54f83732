// libFuzzer target for the executor: each line of the input is executed as a
// statement against a scratch copy of a new, empty database (in memory) that
// already holds one table of every column type. Whatever the text, the engine
// must answer with success or an "SQLException: " failure, never crash or
// hang; a refused statement must leave the file byte for byte as it was; and
// at the end the file must pass the engine's own check and every table must
// read to its end. Build and run: tests/fuzz/run.sh.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/public/database.h"
#include "platform/jet/create/blank_database.h"
#include "tests/jet/memory_env.h"

namespace {

constexpr const char* kPath = "scratch.mdb";
constexpr size_t kMaxStatements = 24;

// Every value the statements can meet: the CREATE TABLE words of the
// program's statement builders.
constexpr const char* kSeedTable =
    "CREATE TABLE [t] (a LONG, b VARCHAR(20), c MEMO, d DATETIME, e DOUBLE, f CURRENCY, g BIT, h BYTE, "
    "i SHORT, j REAL, k NUMERIC(12,3), l GUID, m LONGBINARY, n VARBINARY(16))";

std::vector<std::byte> Flatten(const std::vector<std::vector<std::byte>>& pages) {
  std::vector<std::byte> bytes;
  for (const auto& page : pages) bytes.insert(bytes.end(), page.begin(), page.end());
  return bytes;
}

jet::OpenOptions ScratchOptions(testing_support::MemoryEnv* env) {
  jet::OpenOptions options;
  options.writable = true;
  options.env = env;
  return options;
}

// The new database with the seed table, built once.
const std::vector<std::byte>& Scratch() {
  static const std::vector<std::byte> bytes = [] {
    auto pages = jet::BuildBlankDatabase({.creation_date = 45000.0});
    if (!pages) std::abort();
    testing_support::MemoryEnv env;
    env.files[kPath] = Flatten(*pages);
    auto db = jet::Database::Open(kPath, ScratchOptions(&env));
    if (!db || !(*db)->Execute(kSeedTable) || !(*db)->Close()) std::abort();
    return env.files[kPath];
  }();
  return bytes;
}

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  testing_support::MemoryEnv env;
  env.files[kPath] = Scratch();
  auto db = jet::Database::Open(kPath, ScratchOptions(&env));
  Require(db.has_value());

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  for (size_t n = 0; n < kMaxStatements && start <= input.size(); ++n) {
    size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view statement = input.substr(start, end - start);
    start = end + 1;

    Require((*db)->Flush().has_value());
    const std::vector<std::byte> before = env.files[kPath];
    auto done = (*db)->Execute(statement);
    if (done) continue;
    Require(done.error().message.rfind("SQLException: ", 0) == 0);
    Require((*db)->Flush().has_value());
    Require(env.files[kPath] == before);
  }

  auto problems = (*db)->Check();
  Require(problems.has_value() && problems->empty());
  for (const auto& name : (*db)->UserTables()) {
    auto reader = (*db)->ReadTable(name);
    Require(reader.has_value());
    for (; (*reader)->Valid(); (*reader)->Next()) {
    }
    Require((*reader)->status().has_value());
  }
  Require((*db)->Close().has_value());
  return 0;
}

// libFuzzer target: any byte string opened as an Access database, every table
// read and the file checked. The engine must answer with a failure value,
// never a crash, an out-of-bounds access or a hang. Build: tests/fuzz/build.sh.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/jet/public/database.h"
#include "tests/jet/memory_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  testing_support::MemoryEnv env;
  auto& file = env.files["fuzz.mdb"];
  file.resize(size);
  if (size) std::memcpy(file.data(), data, size);
  jet::OpenOptions options;
  options.env = &env;
  auto db = jet::Database::Open("fuzz.mdb", options);
  if (!db) return 0;
  for (const auto& object : (*db)->Catalog()) {
    auto reader = (*db)->ReadTable(object.name);
    if (!reader) continue;
    for (; (*reader)->Valid(); (*reader)->Next()) {
    }
  }
  (void)(*db)->Check();
  return 0;
}

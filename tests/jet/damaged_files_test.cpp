// Damaged databases end in a clear failure, never a crash or a hang: every
// fixture, with pages overwritten by random bytes or random single-byte
// changes, is opened, every table read and the whole file checked.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/jet/public/database.h"
#include "platform/jet/table/catalog.h"
#include "tests/jet/memory_env.h"
#include "tests/support/environment.h"

namespace {

// Opens, reads everything and checks; returns whether it all succeeded.
bool ReadEverything(testing_support::MemoryEnv& env, const std::string& password) {
  jet::OpenOptions options;
  options.env = &env;
  options.password = password;
  auto db = jet::Database::Open("db", options);
  if (!db) {
    EXPECT_FALSE(db.error().message.empty());
    return false;
  }
  bool clean = true;
  for (const auto& object : (*db)->Objects()) {
    auto reader = (*db)->ReadTable(object.name);
    if (!reader) continue;
    size_t rows = 0;
    for (; (*reader)->Valid(); (*reader)->Next()) ++rows;
    if (!(*reader)->status()) {
      EXPECT_FALSE((*reader)->status().error().message.empty());
      clean = false;
    }
  }
  auto problems = (*db)->Check();
  return clean && problems && problems->empty();
}

TEST(DamagedFilesTest, RandomDamageNeverCrashesOrHangs) {
  std::mt19937 random(20240611);
  int opened = 0, failed = 0;
  REQUIRE_FIXTURES("content-2000.mdb", "content-2010.accdb", "longtext-2016.accdb", "unicode-compression-2003.mdb",
                   "indexes-2007.accdb");
  for (const char* name : {"content-2000.mdb", "content-2010.accdb", "longtext-2016.accdb",
                           "unicode-compression-2003.mdb", "indexes-2007.accdb"}) {
    auto path = testing_support::AccessFixture(name);
    auto original = testing_support::ReadBytes(*path);
    size_t pages = original.size() / 4096;
    for (int trial = 0; trial < 60; ++trial) {
      SCOPED_TRACE(std::string(name) + " trial " + std::to_string(trial));
      testing_support::MemoryEnv env;
      auto bytes = original;
      if (trial % 3 == 0) {  // a whole page of noise (not the header)
        size_t page = 1 + random() % (pages - 1);
        for (size_t i = 0; i < 4096; ++i) bytes[page * 4096 + i] = static_cast<std::byte>(random());
      } else {  // a few bytes anywhere in the first pages, where the catalogue lives
        for (int k = 0; k < 1 + trial % 8; ++k) {
          size_t at = 4096 + random() % std::min<size_t>(bytes.size() - 4096, 40 * 4096);
          bytes[at] = static_cast<std::byte>(random());
        }
      }
      env.files["db"] = std::move(bytes);
      (ReadEverything(env, "") ? opened : failed) += 1;
    }
  }
  // Some damage lands on unused bytes; some must have been noticed.
  EXPECT_GT(failed, 0);
  EXPECT_GT(opened + failed, 0);
}

TEST(DamagedFilesTest, CatalogueThatLoopsOrPointsOutsideTheFileFails) {
  REQUIRE_FIXTURE(path, "engine-empty-jet4.mdb");
  auto original = testing_support::ReadBytes(path);
  testing_support::MemoryEnv env;
  // MSysObjects' definition continues on itself.
  auto looping = original;
  looping[2 * 4096 + 4] = std::byte{2};
  env.files["db"] = looping;
  EXPECT_FALSE(ReadEverything(env, ""));
  // MSysObjects' owned-pages map names a page far beyond the file.
  auto outside = original;
  outside[2 * 4096 + 0x37 + 3] = std::byte{0x7F};
  env.files["db"] = outside;
  jet::OpenOptions options;
  options.env = &env;
  auto db = jet::Database::Open("db", options);
  ASSERT_FALSE(db);
  EXPECT_NE(db.error().message.find("outside the file"), std::string::npos) << db.error().message;
}

}  // namespace

// The pager: page images, MakeWritable tracking with originals, Commit and
// Rollback, read-only refusal, and files that are not (whole) Access files.

#include "platform/jet/file/pager.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "tests/jet/memory_env.h"
#include "tests/support/environment.h"

namespace {

using namespace jet;
using testing_support::MemoryEnv;

struct Env {
  MemoryEnv env;
  PagerOptions options;
  bool ok = false;
  explicit Env(const std::string& fixture, bool writable = true) {
    auto path = testing_support::AccessFixture(fixture);
    if (!path) return;
    env.files["db"] = testing_support::ReadBytes(*path);
    options.env = &env;
    options.writable = writable;
    ok = true;
  }
};

TEST(PagerTest, WritesStayInMemoryUntilCommit) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  Env e("engine-empty-jet4.mdb");
  auto before = e.env.files["db"];
  auto pager = Pager::Open("db", e.options);
  ASSERT_TRUE(pager) << pager.error().message;
  auto page = (*pager)->Write(17);
  ASSERT_TRUE(page);
  (*page)[100] = std::byte{0xAB};
  EXPECT_EQ((*(*pager)->Read(17))[100], std::byte{0xAB});
  EXPECT_EQ((*pager)->DirtyPages(), std::vector<uint32_t>{17});
  EXPECT_EQ((*pager)->Original(17)[100], before[17 * 4096 + 100]);
  auto appended = (*pager)->Append();
  ASSERT_TRUE(appended);
  EXPECT_EQ(*appended, before.size() / 4096);
  EXPECT_EQ(e.env.files["db"], before) << "nothing reaches the file before Commit";

  (*pager)->Rollback();
  EXPECT_EQ((*(*pager)->Read(17))[100], before[17 * 4096 + 100]);
  EXPECT_EQ((*pager)->PageCount(), before.size() / 4096);
  EXPECT_FALSE((*pager)->HasChanges());

  (*(*pager)->Write(18))[7] = std::byte{0x5A};
  ASSERT_TRUE((*pager)->Append());
  ASSERT_TRUE((*pager)->Commit());
  EXPECT_EQ(e.env.files["db"].size(), before.size() + 4096);
  EXPECT_EQ(e.env.files["db"][18 * 4096 + 7], std::byte{0x5A});
  EXPECT_TRUE((*pager)->DirtyPages().empty());
}

// Clean pages are dropped least recently used first, each kind within its
// own room: index pages (nodes and leaves) read from the file stay while many
// more rows are read, and their room has a bound too.
TEST(PagerTest, IndexPagesReadFromTheFileHaveARoomOfTheirOwn) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  Env e("engine-empty-jet4.mdb", /*writable=*/false);
  auto& bytes = e.env.files["db"];
  const uint32_t first = static_cast<uint32_t>(bytes.size() / 4096);
  constexpr uint32_t kIndexPages = 1500, kDataPages = 2500;
  bytes.resize(bytes.size() + size_t{kIndexPages + kDataPages} * 4096);
  for (uint32_t k = 0; k < kIndexPages + kDataPages; ++k)
    bytes[size_t{first + k} * 4096] = std::byte{k >= kIndexPages ? uint8_t{0x01} : k % 2 ? uint8_t{0x03} : uint8_t{0x04}};
  e.options.cache_pages = 1024;
  e.options.index_cache_pages = 1024;
  auto pager = Pager::Open("db", e.options);
  ASSERT_TRUE(pager) << pager.error().message;
  auto read = [&](uint32_t page) {
    const size_t before = e.env.reads;
    EXPECT_TRUE((*pager)->Read(page));
    return e.env.reads - before;  // 1: it came from the file
  };
  const uint32_t data = first + kIndexPages;
  for (uint32_t k = 0; k < 10; ++k) read(first + k);
  for (uint32_t k = 0; k < kDataPages; ++k) read(data + k);
  for (uint32_t k = 0; k < 10; ++k) EXPECT_EQ(read(first + k), 0u) << "index page " << k << " was dropped for rows";
  EXPECT_EQ(read(data), 1u) << "the first data page stayed beyond its room";
  for (uint32_t k = 0; k < kIndexPages; ++k) read(first + k);
  EXPECT_EQ(read(first), 1u) << "the index room holds more than it may";
  EXPECT_EQ(read(first + kIndexPages - 1), 0u);
}

TEST(PagerTest, ReadOnlyRefusesChangesAndFailedWritesAreReported) {
  REQUIRE_FIXTURES("engine-empty-jet4.mdb");
  Env ro("engine-empty-jet4.mdb", false);
  auto pager = Pager::Open("db", ro.options);
  ASSERT_TRUE(pager);
  EXPECT_EQ((*pager)->Write(3).error().code, ErrorCode::kReadOnly);
  EXPECT_EQ((*pager)->Append().error().code, ErrorCode::kReadOnly);
  EXPECT_EQ((*pager)->Read(5000).error().code, ErrorCode::kCorruption);

  Env rw("engine-empty-jet4.mdb");
  auto writer = Pager::Open("db", rw.options);
  ASSERT_TRUE(writer);
  auto before = rw.env.files["db"];
  (*(*writer)->Write(3))[9] = std::byte{1};
  rw.env.fail_syncs = true;
  auto failed = (*writer)->Commit();
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().code, ErrorCode::kIoError);
  EXPECT_FALSE((*writer)->HasChanges()) << "a failed commit drops what it could not save";
  EXPECT_EQ(rw.env.files["db"], before);
  EXPECT_FALSE(rw.env.files.count("db-journal"));
}

TEST(PagerTest, FilesThatAreNotWholeAccessFilesFailClearly) {
  REQUIRE_FIXTURES("content-2000.mdb");
  Env e("content-2000.mdb");
  auto original = e.env.files["db"];
  auto open_error = [&](std::vector<std::byte> bytes) {
    e.env.files["db"] = std::move(bytes);
    auto pager = Pager::Open("db", e.options);
    return pager ? std::string() : pager.error().message;
  };
  EXPECT_NE(open_error({}).find("empty"), std::string::npos);
  std::mt19937 random(7);
  std::vector<std::byte> noise(8192);
  for (auto& b : noise) b = static_cast<std::byte>(random());
  EXPECT_NE(open_error(noise).find("not an Access database"), std::string::npos);
  EXPECT_NE(open_error({original.begin(), original.begin() + 5000}).find("truncated"), std::string::npos);
  EXPECT_NE(open_error({original.begin(), original.begin() + 300}).find("truncated"), std::string::npos);
  EXPECT_NE(open_error({original.begin(), original.begin() + 8192}).find("truncated"), std::string::npos);
  auto jet3 = original;
  jet3[0x14] = std::byte{0};
  EXPECT_NE(open_error(jet3).find("Access 97"), std::string::npos);
  EXPECT_EQ(open_error(original), "");
  e.env.files.clear();
  EXPECT_NE(open_error({}).find("empty"), std::string::npos);
  EXPECT_FALSE(Pager::Open("missing", e.options));
}

}  // namespace

// The header page of a new .accdb of each version against the empty file
// Access made of that version: given the same creation date and sort order,
// every byte the engine decides is the same (docs/access-format.md §2).

#include <gtest/gtest.h>

#include "platform/jet/file/codec.h"
#include "platform/jet/format/header.h"
#include "platform/jet/create/header_writer.h"
#include "tests/support/environment.h"

namespace {

using namespace jet;

TEST(AceHeader, IsTheHeaderOfAccessMadeEmptyFiles) {
  const std::pair<const char*, format::Version> versions[] = {{"empty-2007.accdb", format::Version::kAce12},
                                                              {"empty-2010.accdb", format::Version::kAce14},
                                                              {"empty-2016.accdb", format::Version::kAce16},
                                                              {"empty-2019.accdb", format::Version::kAce17}};
  for (const auto& [name, version] : versions) {
    SCOPED_TRACE(name);
    REQUIRE_FIXTURE(path, name);
    std::vector<std::byte> theirs = testing_support::ReadBytes(path);
    theirs.resize(format::kPageSize);
    ApplyHeaderMask(theirs);
    auto decoded = format::DecodeHeader(theirs);
    ASSERT_TRUE(decoded);
    auto ours = format::BuildHeader({.version = version,
                                     .creation_date = decoded->creation_date,
                                     .sort_order = decoded->sort_order,
                                     .sort_version = decoded->sort_version});
    ASSERT_TRUE(ours) << ours.error().message;
    // The first 4 bytes of the table at 0xE00 differ from file to file in
    // Access's files; every other byte is the engine's.
    for (size_t i = 0; i < format::kPageSize; ++i) {
      if (i >= 0xE00 && i < 0xE04) continue;
      EXPECT_EQ((*ours)[i], theirs[i]) << "byte 0x" << std::hex << i;
    }
  }
  auto refused = format::BuildHeader({.version = format::Version::kAce16, .creation_date = 45000, .password = "pw"});
  EXPECT_EQ(refused.error().code, ErrorCode::kInvalidValue);
}

}  // namespace

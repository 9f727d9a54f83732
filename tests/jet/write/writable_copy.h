#pragma once
// A writable copy of an Access fixture for the write-side tests: the pager,
// the page allocator, the catalogue, and the tables' definition pages.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/jet/file/pager.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/page_allocator.h"
#include "platform/jet/table/table_appender.h"
#include "tests/jet/write/readers.h"
#include "tests/support/environment.h"

namespace write_test {

struct WritableCopy {
  std::string path;
  std::unique_ptr<jet::Pager> pager;
  std::unique_ptr<jet::table::PageAllocator> pages;
  std::vector<jet::table::CatalogObject> objects;

  // Copies `fixture` into a scratch folder named after `test`; false when the fixture is absent.
  bool Open(const std::string& fixture, const std::string& test, const std::string& password = "") {
    auto source = testing_support::AccessFixture(fixture);
    if (!source) return false;
    path = testing_support::CopyFile(*source, testing_support::ScratchFolder(test));
    return Reopen(password);
  }

  bool Reopen(const std::string& password = "") {
    pages.reset();
    pager.reset();
    jet::PagerOptions options;
    options.writable = true;
    options.password = password;
    // Commits when a test asks, not when the clock says (a loaded machine is slow).
    options.commit_limits.delay = std::chrono::hours(1);
    auto opened = jet::Pager::Open(path, options);
    EXPECT_TRUE(opened) << (opened ? "" : opened.error().message);
    if (!opened) return false;
    pager = std::move(*opened);
    pages = std::make_unique<jet::table::PageAllocator>(*pager);
    auto catalog = jet::table::ReadCatalog(*pager);
    EXPECT_TRUE(catalog);
    if (!catalog) return false;
    objects = std::move(*catalog);
    return true;
  }

  uint32_t Tdef(const std::string& table) const {
    for (const auto& o : objects)
      if (o.name == table) return o.tdef_page();
    ADD_FAILURE() << "no table " << table;
    return 0;
  }

  std::unique_ptr<jet::table::TableAppender> Appender(const std::string& table) {
    auto appender = jet::table::TableAppender::Open(*pager, *pages, Tdef(table));
    EXPECT_TRUE(appender) << (appender ? "" : appender.error().message);
    return appender ? std::move(*appender) : nullptr;
  }

  // Releases the file (other programs refuse a file that is open here).
  void Close() {
    pages.reset();
    pager.reset();
  }

  void Commit() {
    auto done = pager->Commit();
    EXPECT_TRUE(done) << (done ? "" : done.error().message);
  }
};

// What `pelmora-access check` reports about a file ("" when nothing).
inline std::string CheckReport(const std::string& path) { return readers::CheckReport(path); }

}  // namespace write_test

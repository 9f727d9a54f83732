// How fast the Access engine reads the rows of a large table, as
// `pelmora-access export` does. The large table is made by copying a fixture
// and repeating its table's rows over new data pages (listed by a reference
// usage map), until the writer can make one itself.
//
//   export_bench [--fixture FILE] [--table NAME] [--rows N] [--out FILE]

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "platform/jet/public/database.h"
#include "platform/jet/file/pager.h"
#include "platform/jet/format/data_page.h"
#include "platform/jet/format/usage_map.h"
#include "platform/jet/table/catalog.h"
#include "platform/jet/table/row_access.h"
#include "platform/jet/table/table.h"

namespace {

using namespace jet;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "export_bench: %s\n", what.c_str());
  std::exit(1);
}

template <typename T>
T Must(Result<T> r) {
  if (!r) Die(r.error().message);
  return std::move(r).value();
}

// Fills `rows` new data pages of `table` with copies of its existing rows.
uint64_t BuildLargeTable(const std::string& path, const std::string& name, uint64_t wanted_rows) {
  PagerOptions options;
  options.writable = true;
  auto pager = Must(Pager::Open(path, options));
  auto objects = Must(table::ReadCatalog(*pager));
  const table::CatalogObject* object = nullptr;
  for (const auto& o : objects)
    if (o.name == name) object = &o;
  if (!object) Die("no table " + name);
  auto t = Must(table::Table::Open(*pager, object->tdef_page(), name));
  std::vector<uint32_t> pages = Must(table::ReadUsageMap(*pager, t->definition().owned_pages, "owned map"));
  std::vector<std::vector<std::byte>> rows;
  for (uint32_t p : pages) {
    auto image = Must(pager->Read(p));
    for (uint16_t i = 0; i < format::DataPageRowCount(image); ++i) {
      auto slot = Must(format::DataPageRow(image, p, i));
      if (slot.live()) rows.emplace_back(image.begin() + slot.start, image.begin() + slot.end);
    }
  }
  if (rows.empty()) Die("table " + name + " has no rows to repeat");
  uint64_t total = 0;
  while (total < wanted_rows) {
    uint32_t page = Must(pager->Append());
    auto image = Must(pager->Write(page));
    format::InitDataPage(image, object->tdef_page());
    size_t k = 0;
    while (total < wanted_rows && format::AppendRow(image, rows[k % rows.size()], nullptr)) ++k, ++total;
    pages.push_back(page);
  }
  // The owned map becomes a reference map over bitmap pages.
  std::map<uint32_t, uint32_t> bitmap_pages;  // index -> page
  for (uint32_t p : pages) {
    uint32_t index = p / format::kPagesPerBitmapPage;
    if (!bitmap_pages.count(index)) {
      uint32_t bp = Must(pager->Append());
      auto image = Must(pager->Write(bp));
      image[0] = std::byte{format::kPageTypeUsageBitmap};
      image[1] = std::byte{1};
      bitmap_pages[index] = bp;
    }
    auto image = Must(pager->Write(bitmap_pages[index]));
    uint32_t bit = p % format::kPagesPerBitmapPage;
    image[format::kBitmapPageHeader + bit / 8] |= static_cast<std::byte>(1u << (bit % 8));
  }
  auto owned = t->definition().owned_pages;
  auto holder = Must(pager->Write(owned.page));
  auto slot = Must(format::DataPageRow(holder, owned.page, owned.row));
  auto map = holder.subspan(slot.start, slot.end - slot.start);
  std::fill(map.begin(), map.end(), std::byte{0});
  map[0] = std::byte{format::kUsageMapReference};
  for (auto [index, bp] : bitmap_pages) {
    if (1 + 4 * (index + 1) > map.size()) Die("the owned map row is too short for this many pages");
    format::Put32(map, 1 + 4 * index, bp);
  }
  auto tdef = Must(pager->Write(object->tdef_page()));
  format::Put32(tdef, format::kTdefRowCountOffset, static_cast<uint32_t>(total + rows.size()));
  if (auto ok = pager->Commit(); !ok) Die(ok.error().message);
  return total + rows.size();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Rows per second read from a large Access table"};
  std::string fixture = std::string(PELMORA_SOURCE_DIR) + "/../shared/fixtures/access/content-2000.mdb";
  std::string table = "Table1", out = "/tmp/pelmora-export-bench.mdb";
  uint64_t rows = 1000000;
  app.add_option("--fixture", fixture, "Access file whose table is repeated");
  app.add_option("--table", table, "Table to repeat");
  app.add_option("--rows", rows, "Rows in the large table");
  app.add_option("--out", out, "Where the large file is written");
  CLI11_PARSE(app, argc, argv);
  if (!std::filesystem::exists(fixture)) {
    std::printf("export_bench: skipped, %s is absent\n", fixture.c_str());
    return 0;
  }
  std::filesystem::copy_file(fixture, out, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(out, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  uint64_t built = BuildLargeTable(out, table, rows);
  auto size = std::filesystem::file_size(out);

  for (int pass = 0; pass < 3; ++pass) {
    auto start = std::chrono::steady_clock::now();
    auto db = Must(Database::Open(out));
    auto reader = Must(db->ReadTable(table));
    uint64_t count = 0, cells = 0;
    for (; reader->Valid(); reader->Next()) {
      ++count;
      cells += reader->row().size();
    }
    if (!reader->status()) Die(reader->status().error().message);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("export_bench: pass %d: %llu rows (%llu cells) of %s from a %.1f MiB file in %.3f s: %.0f rows/s, %.1f MiB/s\n",
                pass + 1, static_cast<unsigned long long>(count), static_cast<unsigned long long>(cells),
                table.c_str(), size / 1048576.0, seconds, count / seconds, size / 1048576.0 / seconds);
    if (count != built) Die(fmt::format("read {} rows, expected {}", count, built));
  }
  std::filesystem::remove(out);
  return 0;
}

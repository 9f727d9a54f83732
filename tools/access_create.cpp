#include "tools/access_create.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/jet/table/blank_database.h"

int RunCreateCommand(const std::string& file, const std::string& format, const std::string& password) {
  std::string extension = std::filesystem::path(file).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
  if (extension == ".accdb") {
    fmt::print(stderr, "pelmora-access: new .accdb files are not supported yet; create a .mdb file instead\n");
    return 1;
  }
  jet::BlankOptions options;
  if (format == "2000" || format.empty()) {
    options.format = jet::BlankFormat::kAccess2000;
  } else if (format == "2003") {
    options.format = jet::BlankFormat::kAccess2003;
  } else {
    fmt::print(stderr, "pelmora-access: unknown format \"{}\"; use 2000 or 2003\n", format);
    return 1;
  }
  options.password = password;
  if (auto done = jet::CreateBlankDatabase(file, options); !done) {
    fmt::print(stderr, "pelmora-access: {}\n", done.error().message);
    return 1;
  }
  return 0;
}

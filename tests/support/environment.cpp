#include "tests/support/environment.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace testing_support {
namespace fs = std::filesystem;

static std::string Env(const char* name, const char* fallback = "") {
  const char* v = std::getenv(name);
  return v ? v : fallback;
}

std::string PgServer::ConnectionString(const std::string& database_override) const {
  return fmt::format("Driver={{PostgreSQL Unicode}};Server={};Port={};Uid={};Pwd={};Database={}", host, port,
                     user, password, database_override.empty() ? database : database_override);
}

std::optional<PgServer> TestPgServer() {
  if (Env("PELMORA_TEST_PG_PORT").empty()) return std::nullopt;
  return PgServer{Env("PELMORA_TEST_PG_HOST", "127.0.0.1"), Env("PELMORA_TEST_PG_PORT"),
                  Env("PELMORA_TEST_PG_USER", "pelmora"), Env("PELMORA_TEST_PG_PASSWORD"),
                  Env("PELMORA_TEST_PG_DATABASE", "postgres")};
}

std::optional<std::string> SharedFolder() {
  std::string dir = Env("PELMORA_SHARED");
  if (dir.empty()) dir = std::string(PELMORA_SOURCE_DIR) + "/../shared";
  if (!fs::is_directory(fs::path(dir) / "fixtures" / "access")) return std::nullopt;
  return fs::canonical(dir).string();
}

std::optional<std::string> AccessFixture(const std::string& name) {
  auto shared = SharedFolder();
  if (!shared) return std::nullopt;
  fs::path p = fs::path(*shared) / "fixtures" / "access" / name;
  if (!fs::exists(p)) return std::nullopt;
  return p.string();
}

std::string ScratchFolder(const std::string& test_name) {
  fs::path dir = fs::path(PELMORA_BINARY_DIR) / "test-scratch" / test_name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string();
}

std::string CopyFile(const std::string& from, const std::string& to_folder) {
  fs::path to = fs::path(to_folder) / fs::path(from).filename();
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
  return to.string();
}

int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  int status = pclose(pipe);
  if (output) *output = std::move(text);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::byte> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::byte> out(chars.size());
  if (!chars.empty()) std::memcpy(out.data(), chars.data(), chars.size());
  return out;
}

bool MissingPrerequisiteFails() { return Env("CI") == "true" && !Env("PELMORA_SHARED").empty(); }

std::string MissingFixtures(std::initializer_list<std::string> names) {
  std::string missing;
  for (const std::string& name : names)
    if (!AccessFixture(name)) missing += (missing.empty() ? "" : ", ") + name;
  return missing;
}

bool HaveCommand(const std::string& name) { return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0; }

bool HaveMdbtools() { return HaveCommand("mdb-export") && HaveCommand("mdb-tables") && HaveCommand("mdb-schema"); }

bool HaveMdbReader() {
  return HaveCommand("node") && fs::exists(std::string(PELMORA_SOURCE_DIR) + "/tests/readers/node_modules/mdb-reader");
}

}  // namespace testing_support

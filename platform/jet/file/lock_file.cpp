#include "platform/jet/file/lock_file.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace jet {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Field(const std::byte* p, size_t size) {
  std::string s;
  for (size_t i = 0; i < size && p[i] != std::byte{0}; ++i) s.push_back(static_cast<char>(p[i]));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

Error InUse(const std::string& path, const std::string& who) {
  return MakeError(ErrorCode::kLocked,
                   fmt::format("Cannot open '{}': it is in use by {}. Close it there and try again.", path, who));
}

}  // namespace

std::string LockFile::PathFor(const std::string& database_path) {
  size_t slash = database_path.find_last_of('/');
  size_t dot = database_path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return database_path + ".ldb";
  std::string ext = Lower(database_path.substr(dot));
  bool ace = ext == ".accdb" || ext == ".accde" || ext == ".accdr" || ext == ".accdt";
  return database_path.substr(0, dot) + (ace ? ".laccdb" : ".ldb");
}

std::string LockFile::OwnRecord() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0 || host[0] == 0) std::snprintf(host, sizeof host, "localhost");
  std::string user;
  if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) user = pw->pw_name;
  if (user.empty())
    if (const char* env_user = std::getenv("USER")) user = env_user;
  if (user.empty()) user = "Admin";
  std::string record(kRecordSize, '\0');
  record.replace(0, std::min<size_t>(std::strlen(host), 31), host, std::min<size_t>(std::strlen(host), 31));
  record.replace(32, std::min<size_t>(user.size(), 31), user.substr(0, 31));
  return record;
}

std::string DescribeHolders(Env& env, const std::string& lock_path) {
  auto file = env.Open(lock_path, false);
  if (!file) return "another program";
  auto size = (*file)->Size();
  if (!size) return "another program";
  size_t records = std::min<size_t>(*size / LockFile::kRecordSize, LockFile::kMaxRecords);
  std::vector<std::string> who;
  std::vector<std::byte> record(LockFile::kRecordSize);
  for (size_t i = 0; i < records && who.size() < 3; ++i) {
    auto locked = (*file)->LockedElsewhere(i * LockFile::kRecordSize, LockFile::kRecordSize);
    if (!locked || !*locked) continue;
    if (!(*file)->ReadAt(i * LockFile::kRecordSize, record)) break;
    std::string machine = Field(record.data(), 32), user = Field(record.data() + 32, 32);
    if (machine.empty() && user.empty()) continue;
    who.push_back(fmt::format("user '{}' on machine '{}'", user, machine));
  }
  if (who.empty()) return "another program";
  return fmt::format("{}", fmt::join(who, ", "));
}

Result<std::unique_ptr<LockFile>> LockFile::Acquire(Env& env, File& database, const std::string& path,
                                                    bool writable) {
  std::string lock_path = PathFor(path);
  JET_ASSIGN_OR_RETURN(got, database.TryLock(0, 0, writable));
  if (!got) return InUse(path, DescribeHolders(env, lock_path));

  auto opened = env.OpenOrCreate(lock_path);
  if (!opened) {
    const Error& e = opened.error();
    if (!writable || e.code == ErrorCode::kNotSupported)
      return std::unique_ptr<LockFile>(new LockFile(env, "", nullptr, 0));
    if (e.code == ErrorCode::kReadOnly) {
      auto exists = env.Exists(lock_path);
      if (exists && *exists)
        return MakeError(ErrorCode::kReadOnly,
                         fmt::format("Cannot open '{}' for writing: its lock file '{}' is read-only.", path,
                                     lock_path));
      std::string folder = std::filesystem::path(path).parent_path().string();
      return MakeError(ErrorCode::kReadOnly,
                       fmt::format("Cannot open '{}' for writing: the folder '{}' is read-only, so the lock file "
                                   "'{}' and the journal cannot be created there.",
                                   path, folder.empty() ? "." : folder, lock_path));
    }
    return MakeError(e.code, fmt::format("Cannot open '{}': {}", path, e.message));
  }
  std::unique_ptr<File> file = std::move(*opened);

  if (writable) {
    JET_ASSIGN_OR_RETURN(others, file->LockedElsewhere(0, 0));
    if (others) return InUse(path, DescribeHolders(env, lock_path));
  }
  size_t slot = 0;
  for (;; ++slot) {
    if (slot == kMaxRecords)
      return MakeError(ErrorCode::kLocked,
                       fmt::format("Cannot open '{}': {} programs have it open already, the most Access allows.",
                                   path, kMaxRecords));
    JET_ASSIGN_OR_RETURN(claimed, file->TryLock(slot * kRecordSize, kRecordSize, true));
    if (claimed) break;
  }
  std::string record = OwnRecord();
  Status written = file->WriteAt(slot * kRecordSize, std::as_bytes(std::span(record)));
  if (!written && writable) return MakeError(written.error().code, fmt::format("Cannot open '{}': {}", path,
                                                                               written.error().message));
  return std::unique_ptr<LockFile>(new LockFile(env, lock_path, std::move(file), slot));
}

LockFile::~LockFile() {
  if (!file_) return;
  file_->Unlock(slot_ * kRecordSize, kRecordSize);
  auto others = file_->LockedElsewhere(0, 0);
  if (others && !*others) (void)env_.Remove(path_);
  file_.reset();
}

}  // namespace jet

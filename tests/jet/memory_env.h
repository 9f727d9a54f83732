#pragma once
// Files in memory behind the engine's Env seam: damaged-input tests and the
// fuzz target open byte strings as databases without touching the disk, and
// writes or syncs can be made to fail.

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/jet/file/env.h"

namespace testing_support {

class MemoryEnv : public jet::Env {
 public:
  std::map<std::string, std::vector<std::byte>> files;
  bool fail_writes = false;
  bool fail_syncs = false;
  size_t reads = 0;  // ReadAt calls, of every file

  jet::Result<std::unique_ptr<jet::File>> Open(const std::string& path, bool) override {
    auto it = files.find(path);
    if (it == files.end()) return jet::MakeError(jet::ErrorCode::kNotFound, "Could not find file '" + path + "'.");
    return std::unique_ptr<jet::File>(new MemoryFile(this, path));
  }
  jet::Result<std::unique_ptr<jet::File>> OpenOrCreate(const std::string& path) override {
    files[path];
    return std::unique_ptr<jet::File>(new MemoryFile(this, path));
  }
  jet::Status Remove(const std::string& path) override {
    files.erase(path);
    return {};
  }

 private:
  class MemoryFile : public jet::File {
   public:
    MemoryFile(MemoryEnv* env, std::string path) : env_(env), path_(std::move(path)) {}
    const std::string& Path() const override { return path_; }
    jet::Result<uint64_t> Size() override { return static_cast<uint64_t>(Data().size()); }
    jet::Status ReadAt(uint64_t offset, std::span<std::byte> out) override {
      auto& d = Data();
      ++env_->reads;
      if (offset > d.size() || out.size() > d.size() - offset)
        return jet::MakeError(jet::ErrorCode::kIoError, "read beyond the end");
      std::memcpy(out.data(), d.data() + offset, out.size());
      return {};
    }
    jet::Status WriteAt(uint64_t offset, std::span<const std::byte> data) override {
      if (env_->fail_writes) return jet::MakeError(jet::ErrorCode::kIoError, "Cannot write: the disk is full");
      auto& d = Data();
      if (d.size() < offset + data.size()) d.resize(offset + data.size());
      std::memcpy(d.data() + offset, data.data(), data.size());
      return {};
    }
    jet::Status Truncate(uint64_t size) override {
      Data().resize(size);
      return {};
    }
    jet::Status Sync() override {
      if (env_->fail_syncs) return jet::MakeError(jet::ErrorCode::kIoError, "Cannot flush");
      return {};
    }

   private:
    std::vector<std::byte>& Data() { return env_->files[path_]; }
    MemoryEnv* env_;
    std::string path_;
  };
};

}  // namespace testing_support

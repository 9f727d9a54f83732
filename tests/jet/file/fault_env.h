#pragma once
// Files in memory that remember what reached the disk, for crash tests in
// the manner of LevelDB's fault_injection_test and SQLite's crash tests.
//
// Every write, cut and sync goes to a file's current bytes; a file also keeps
// the bytes of its last Sync and the writes since. Creations and removals
// become durable at SyncFolderOf. Then:
//  - Crash(kProcess): the process died; the system still has every write.
//  - Crash(kPowerLossDropAll): power failed; only what was synced survives.
//  - Crash(kPowerLossRandom, seed): each unsynced write survives whole, is
//    lost, or is torn (some of its 512-byte sectors kept, one maybe garbage);
//    each folder change not yet synced survives or is lost.
// crash_at makes the process "die" at its Nth mutating operation (write, cut,
// sync, create, remove, folder sync): that one and all later ones fail without
// effect. `faults` fail chosen operations (disk full, I/O error), once or for
// good. read_only_files / read_only_folder refuse writing as POSIX would.

#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/jet/file/env.h"

namespace testing_support {

class FaultEnv : public jet::Env {
 public:
  enum class Op { kWrite, kSync, kTruncate, kCreate, kRemove, kSyncFolder };
  enum class Loss { kProcess, kPowerLossDropAll, kPowerLossRandom };

  struct Fault {
    Op op;
    std::string path_suffix;  // "" matches every path
    int skip = 0;             // operations let through first
    bool sticky = false;      // keeps failing after the first failure
    std::string message = "the disk is full";
  };

  std::vector<Fault> faults;
  int64_t crash_at = -1;  // 1-based count of mutating operations; -1: never
  int64_t operations = 0;
  std::set<std::string> read_only_files;
  bool read_only_folder = false;

  bool crashed() const { return crashed_; }

  // A file as if it had been on disk for long.
  void Put(const std::string& path, std::vector<std::byte> bytes) {
    auto node = std::make_shared<Node>();
    node->data = node->synced = std::move(bytes);
    files_[path] = durable_[path] = node;
  }
  bool Has(const std::string& path) const { return files_.count(path) != 0; }
  std::vector<std::byte> Contents(const std::string& path) const {
    auto it = files_.find(path);
    return it == files_.end() ? std::vector<std::byte>{} : it->second->data;
  }

  void Crash(Loss loss, uint32_t seed = 0) {
    std::mt19937 random(seed);
    std::set<std::string> names;
    for (auto& [name, node] : files_) names.insert(name);
    for (auto& [name, node] : durable_) names.insert(name);
    std::map<std::string, std::shared_ptr<Node>> after;
    for (const auto& name : names) {
      auto cur = Find(files_, name), dur = Find(durable_, name);
      std::shared_ptr<Node> pick = cur;
      if (cur != dur) {
        if (loss == Loss::kPowerLossDropAll) pick = dur;
        if (loss == Loss::kPowerLossRandom) pick = random() % 2 ? dur : cur;
      }
      if (!pick) continue;
      auto node = std::make_shared<Node>();
      node->data = node->synced = loss == Loss::kProcess ? pick->data : Replay(*pick, loss, random);
      after[name] = node;
    }
    files_ = after;
    durable_ = after;
    crashed_ = false;
    crash_at = -1;
    faults.clear();
  }

  jet::Result<std::unique_ptr<jet::File>> Open(const std::string& path, bool writable) override {
    auto it = files_.find(path);
    if (it == files_.end())
      return jet::MakeError(jet::ErrorCode::kNotFound, "Could not find file '" + path + "'.");
    if (writable && read_only_files.count(path))
      return jet::MakeError(jet::ErrorCode::kReadOnly,
                            "Cannot open '" + path + "' for writing: the file is read-only.");
    return std::unique_ptr<jet::File>(new FaultFile(this, path, it->second));
  }

  jet::Result<std::unique_ptr<jet::File>> OpenOrCreate(const std::string& path) override {
    auto it = files_.find(path);
    if (it != files_.end()) return Open(path, true);
    if (read_only_folder)
      return jet::MakeError(jet::ErrorCode::kReadOnly, "Cannot create '" + path + "': the folder is read-only.");
    JET_TRY(Check(Op::kCreate, path));
    auto node = std::make_shared<Node>();
    files_[path] = node;
    return std::unique_ptr<jet::File>(new FaultFile(this, path, node));
  }

  jet::Result<bool> Exists(const std::string& path) override { return files_.count(path) != 0; }

  jet::Status Remove(const std::string& path) override {
    if (!files_.count(path)) return {};
    if (read_only_folder)
      return jet::MakeError(jet::ErrorCode::kReadOnly, "Cannot remove '" + path + "': the folder is read-only.");
    JET_TRY(Check(Op::kRemove, path));
    files_.erase(path);
    return {};
  }

  jet::Status SyncFolderOf(const std::string& path) override {
    JET_TRY(Check(Op::kSyncFolder, path));
    std::string folder = Folder(path);
    std::set<std::string> names;
    for (auto& [name, node] : files_) names.insert(name);
    for (auto& [name, node] : durable_) names.insert(name);
    for (const auto& name : names) {
      if (Folder(name) != folder) continue;
      if (auto cur = Find(files_, name)) durable_[name] = cur;
      else durable_.erase(name);
    }
    return {};
  }

 private:
  struct Pending {
    bool truncate = false;
    uint64_t offset = 0;  // or the new size
    std::vector<std::byte> bytes;
  };
  struct Node {
    std::vector<std::byte> data, synced;
    std::vector<Pending> pending;
  };

  static std::string Folder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
  }
  static std::shared_ptr<Node> Find(const std::map<std::string, std::shared_ptr<Node>>& m, const std::string& k) {
    auto it = m.find(k);
    return it == m.end() ? nullptr : it->second;
  }

  static void Apply(std::vector<std::byte>& d, uint64_t offset, const std::byte* p, size_t n) {
    if (d.size() < offset + n) d.resize(offset + n);
    std::memcpy(d.data() + offset, p, n);
  }

  static std::vector<std::byte> Replay(const Node& node, Loss loss, std::mt19937& random) {
    std::vector<std::byte> d = node.synced;
    if (loss == Loss::kPowerLossDropAll) return d;
    for (const Pending& p : node.pending) {
      unsigned fate = random() % 3;  // 0 lost, 1 whole, 2 torn
      if (fate == 0) continue;
      if (p.truncate) {
        d.resize(p.offset);
        continue;
      }
      if (fate == 1) {
        Apply(d, p.offset, p.bytes.data(), p.bytes.size());
        continue;
      }
      size_t garbage = random() % 4 == 0 ? random() % (p.bytes.size() / 512 + 1) : SIZE_MAX;
      for (size_t at = 0, sector = 0; at < p.bytes.size(); at += 512, ++sector) {
        size_t n = std::min<size_t>(512, p.bytes.size() - at);
        if (sector == garbage) {
          std::vector<std::byte> noise(n);
          for (auto& b : noise) b = static_cast<std::byte>(random());
          Apply(d, p.offset + at, noise.data(), n);
        } else if (random() % 2) {
          Apply(d, p.offset + at, p.bytes.data() + at, n);
        }
      }
    }
    return d;
  }

  jet::Status Check(Op op, const std::string& path) {
    if (crashed_) return jet::MakeError(jet::ErrorCode::kIoError, "Cannot change '" + path + "': the process died");
    ++operations;
    if (crash_at >= 0 && operations >= crash_at) {
      crashed_ = true;
      return jet::MakeError(jet::ErrorCode::kIoError, "Cannot change '" + path + "': the process died");
    }
    for (auto it = faults.begin(); it != faults.end(); ++it) {
      if (it->op != op) continue;
      if (path.size() < it->path_suffix.size() ||
          path.compare(path.size() - it->path_suffix.size(), std::string::npos, it->path_suffix) != 0)
        continue;
      if (it->skip > 0) {
        --it->skip;
        continue;
      }
      std::string message = "Cannot change '" + path + "': " + it->message;
      if (!it->sticky) faults.erase(it);
      return jet::MakeError(jet::ErrorCode::kIoError, message);
    }
    return {};
  }

  class FaultFile : public jet::File {
   public:
    FaultFile(FaultEnv* env, std::string path, std::shared_ptr<Node> node)
        : env_(env), path_(std::move(path)), node_(std::move(node)) {}
    const std::string& Path() const override { return path_; }
    jet::Result<uint64_t> Size() override { return static_cast<uint64_t>(node_->data.size()); }
    jet::Status ReadAt(uint64_t offset, std::span<std::byte> out) override {
      auto& d = node_->data;
      if (offset > d.size() || out.size() > d.size() - offset)
        return jet::MakeError(jet::ErrorCode::kIoError, "Cannot read '" + path_ + "': the file ended");
      std::memcpy(out.data(), d.data() + offset, out.size());
      return {};
    }
    jet::Status WriteAt(uint64_t offset, std::span<const std::byte> data) override {
      JET_TRY(env_->Check(Op::kWrite, path_));
      Apply(node_->data, offset, data.data(), data.size());
      node_->pending.push_back({false, offset, std::vector<std::byte>(data.begin(), data.end())});
      return {};
    }
    jet::Status Truncate(uint64_t size) override {
      JET_TRY(env_->Check(Op::kTruncate, path_));
      node_->data.resize(size);
      node_->pending.push_back({true, size, {}});
      return {};
    }
    jet::Status Sync() override {
      JET_TRY(env_->Check(Op::kSync, path_));
      node_->synced = node_->data;
      node_->pending.clear();
      return {};
    }

   private:
    FaultEnv* env_;
    std::string path_;
    std::shared_ptr<Node> node_;
  };

  std::map<std::string, std::shared_ptr<Node>> files_, durable_;
  bool crashed_ = false;
};

}  // namespace testing_support

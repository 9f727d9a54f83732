#pragma once
// The operating system as the engine sees it: open a file, read and write
// whole ranges at offsets, sync. Tests replace the Env to inject faults.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/jet/result.h"

namespace jet {

class File {
 public:
  virtual ~File() = default;
  virtual const std::string& Path() const = 0;
  virtual Result<uint64_t> Size() = 0;
  // Reads exactly `out.size()` bytes; reading past the end is an IoError.
  virtual Status ReadAt(uint64_t offset, std::span<std::byte> out) = 0;
  virtual Status WriteAt(uint64_t offset, std::span<const std::byte> data) = 0;
  virtual Status Sync() = 0;
};

class Env {
 public:
  virtual ~Env() = default;
  // Opens an existing file for reading, or for reading and writing.
  virtual Result<std::unique_ptr<File>> Open(const std::string& path, bool writable) = 0;
  // The process-wide POSIX environment.
  static Env* Default();
};

}  // namespace jet

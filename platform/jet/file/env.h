#pragma once
// The operating system as the engine sees it: open or create a file, read and
// write whole ranges at offsets, sync, cut, lock ranges; remove a file and make
// its folder's entries durable. Tests replace the Env to inject faults
// (tests/jet/file/fault_env.h) or to keep files in memory.
//
// Locks are advisory byte-range locks held by one open File, not by the
// process (Linux open-file-description locks): a second open of the same file
// in the same process conflicts like another program would, and every lock
// vanishes with the process that held it, so a killed process never leaves one
// behind. Environments without other programs (memory) grant every lock.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/jet/public/result.h"

namespace jet {

class File {
 public:
  virtual ~File() = default;
  virtual const std::string& Path() const = 0;
  virtual Result<uint64_t> Size() = 0;
  // Reads exactly `out.size()` bytes; reading past the end is an IoError.
  virtual Status ReadAt(uint64_t offset, std::span<std::byte> out) = 0;
  virtual Status WriteAt(uint64_t offset, std::span<const std::byte> data) = 0;
  // Makes every write so far durable (data and the file's size).
  virtual Status Sync() = 0;
  // Cuts (or extends with zeros) the file to `size` bytes.
  virtual Status Truncate(uint64_t size);

  // Takes a shared or exclusive lock of [offset, offset + length) without
  // waiting; length 0 reaches past any end the file may grow to. False while
  // another open file holds a conflicting lock. Taking a lock over a range this
  // File holds already converts it (shared <-> exclusive).
  virtual Result<bool> TryLock(uint64_t offset, uint64_t length, bool exclusive);
  virtual void Unlock(uint64_t offset, uint64_t length);
  // Whether another open file holds any lock inside the range.
  virtual Result<bool> LockedElsewhere(uint64_t offset, uint64_t length);
};

class Env {
 public:
  virtual ~Env() = default;
  // Opens an existing file for reading, or for reading and writing.
  virtual Result<std::unique_ptr<File>> Open(const std::string& path, bool writable) = 0;
  // Opens a file for reading and writing, creating it empty when absent.
  // kReadOnly when its folder (or the file) cannot be written.
  virtual Result<std::unique_ptr<File>> OpenOrCreate(const std::string& path);
  virtual Result<bool> Exists(const std::string& path);
  // Removes a file; removing one that does not exist succeeds.
  virtual Status Remove(const std::string& path);
  // Makes the creations and removals of files in the folder holding `path`
  // durable (fsync of the folder).
  virtual Status SyncFolderOf(const std::string& path);
  // The process-wide POSIX environment.
  static Env* Default();
};

}  // namespace jet

#pragma once
// Who holds a database open: a lock on the database file itself, and the
// Access lock file beside it (.ldb for .mdb, .laccdb for .accdb).
//
// The lock that decides is an advisory lock over the whole database file
// (env.h): exclusive for a writer, shared for a reader. A writer is refused
// while anyone else has the file open through such a lock (a second Pelmora,
// or a program whose byte-range locks Linux sees, as Samba's are for Access
// on a shared folder), and a reader is refused while a writer has it. Locks go
// with their process, so a killed holder never blocks the next open.
//
// The lock file is what Access writes and what its users look at: up to 255
// records of 64 bytes, the computer name (32 bytes) and the user name
// (32 bytes), NUL-padded. Each holder claims a record by locking its 64 bytes
// and writes its names there; a record without a lock belongs to a holder that
// has ended (or was killed) and is reused. A writer is refused while another
// holder's record is locked, and the refusal names the holders it can read.
// The last holder to close removes the lock file. A read-only open of a file
// in a folder that cannot be written goes without one, as Access does.
//
// The lock file is only a record: two closers racing may remove it while a new
// reader has just claimed a record in it, which costs that reader its entry,
// never the database lock.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/jet/file/env.h"
#include "platform/jet/public/result.h"

namespace jet {

class LockFile {
 public:
  static constexpr size_t kRecordSize = 64;
  static constexpr size_t kMaxRecords = 255;

  // "orders.ldb" beside "orders.mdb", "orders.laccdb" beside "orders.accdb".
  static std::string PathFor(const std::string& database_path);

  // Locks `database` (opened from `path`) shared or exclusive, and records
  // this process in the lock file. kLocked when another program holds the
  // file; kReadOnly when a writer cannot create the lock file.
  static Result<std::unique_ptr<LockFile>> Acquire(Env& env, File& database, const std::string& path, bool writable);

  // Gives up the record; the last holder removes the lock file. The lock on
  // the database file ends when the database file is closed (after this).
  ~LockFile();

  // The lock file's path, or "" when this open goes without one.
  const std::string& path() const { return path_; }

  // The 64-byte record this process writes: host name and user name.
  static std::string OwnRecord();

 private:
  LockFile(Env& env, std::string path, std::unique_ptr<File> file, size_t slot)
      : env_(env), path_(std::move(path)), file_(std::move(file)), slot_(slot) {}

  Env& env_;
  std::string path_;
  std::unique_ptr<File> file_;
  size_t slot_;
};

// "user 'ann' on machine 'office-pc'" for each other holder recorded in the
// lock file at `lock_path` whose record is locked, or "another program".
std::string DescribeHolders(Env& env, const std::string& lock_path);

}  // namespace jet

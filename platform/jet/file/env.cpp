#include "platform/jet/file/env.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace jet {

// Defaults for environments that keep files away from other programs.
Status File::Truncate(uint64_t) {
  return MakeError(ErrorCode::kNotSupported, fmt::format("Cannot cut '{}': not supported here.", Path()));
}
Result<bool> File::TryLock(uint64_t, uint64_t, bool) { return true; }
void File::Unlock(uint64_t, uint64_t) {}
Result<bool> File::LockedElsewhere(uint64_t, uint64_t) { return false; }

Result<std::unique_ptr<File>> Env::OpenOrCreate(const std::string& path) {
  return MakeError(ErrorCode::kNotSupported, fmt::format("Cannot create '{}': not supported here.", path));
}
Result<bool> Env::Exists(const std::string& path) {
  auto file = Open(path, false);
  if (file) return true;
  if (file.error().code == ErrorCode::kNotFound) return false;
  return file.error();
}
Status Env::Remove(const std::string& path) {
  return MakeError(ErrorCode::kNotSupported, fmt::format("Cannot remove '{}': not supported here.", path));
}
Status Env::SyncFolderOf(const std::string&) { return {}; }

namespace {

Error IoError(const std::string& what, const std::string& path, int err) {
  return MakeError(ErrorCode::kIoError, fmt::format("{} '{}': {}", what, path, std::strerror(err)));
}

std::string FolderOf(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override { ::close(fd_); }

  const std::string& Path() const override { return path_; }

  Result<uint64_t> Size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return IoError("Cannot read the size of", path_, errno);
    return static_cast<uint64_t>(st.st_size);
  }

  Status ReadAt(uint64_t offset, std::span<std::byte> out) override {
    size_t done = 0;
    while (done < out.size()) {
      ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return IoError("Cannot read", path_, errno);
      }
      if (n == 0)
        return MakeError(ErrorCode::kIoError,
                         fmt::format("Cannot read '{}': the file ended at byte {}", path_, offset + done));
      done += static_cast<size_t>(n);
    }
    return {};
  }

  Status WriteAt(uint64_t offset, std::span<const std::byte> data) override {
    size_t done = 0;
    while (done < data.size()) {
      ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        if (errno == ENOSPC || errno == EDQUOT)
          return MakeError(ErrorCode::kIoError, fmt::format("Cannot write '{}': the disk is full", path_));
        return IoError("Cannot write", path_, errno);
      }
      done += static_cast<size_t>(n);
    }
    return {};
  }

  Status Sync() override {
    if (::fdatasync(fd_) != 0) {
      if (errno == ENOSPC || errno == EDQUOT)
        return MakeError(ErrorCode::kIoError, fmt::format("Cannot flush '{}': the disk is full", path_));
      return IoError("Cannot flush", path_, errno);
    }
    return {};
  }

  Status Truncate(uint64_t size) override {
    while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno == EINTR) continue;
      return IoError("Cannot cut", path_, errno);
    }
    return {};
  }

  Result<bool> TryLock(uint64_t offset, uint64_t length, bool exclusive) override {
    struct flock lock = Range(offset, length, exclusive ? F_WRLCK : F_RDLCK);
    if (::fcntl(fd_, F_OFD_SETLK, &lock) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) return false;
    return IoError("Cannot lock", path_, errno);
  }

  void Unlock(uint64_t offset, uint64_t length) override {
    struct flock lock = Range(offset, length, F_UNLCK);
    (void)::fcntl(fd_, F_OFD_SETLK, &lock);
  }

  Result<bool> LockedElsewhere(uint64_t offset, uint64_t length) override {
    struct flock lock = Range(offset, length, F_WRLCK);
    if (::fcntl(fd_, F_OFD_GETLK, &lock) != 0) return IoError("Cannot test the locks of", path_, errno);
    return lock.l_type != F_UNLCK;
  }

 private:
  static struct flock Range(uint64_t offset, uint64_t length, short type) {
    struct flock lock;
    std::memset(&lock, 0, sizeof lock);
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(offset);
    lock.l_len = static_cast<off_t>(length);
    return lock;
  }

  int fd_;
  std::string path_;
};

Result<std::unique_ptr<File>> Adopt(int fd, const std::string& path) {
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return MakeError(ErrorCode::kIoError, fmt::format("Cannot open '{}': it is not a database file.", path));
  }
  return std::unique_ptr<File>(new PosixFile(fd, path));
}

class PosixEnv final : public Env {
 public:
  Result<std::unique_ptr<File>> Open(const std::string& path, bool writable) override {
    int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
      int err = errno;
      if (err == ENOENT) return MakeError(ErrorCode::kNotFound, fmt::format("Could not find file '{}'.", path));
      if (writable && err == EROFS)
        return MakeError(ErrorCode::kReadOnly,
                         fmt::format("Cannot open '{}' for writing: it lies on a read-only file system.", path));
      if (writable && (err == EACCES || err == EPERM) && ::access(path.c_str(), R_OK) == 0)
        return MakeError(ErrorCode::kReadOnly, fmt::format("Cannot open '{}' for writing: the file is read-only.", path));
      if (err == EACCES || err == EPERM)
        return MakeError(ErrorCode::kReadOnly,
                         fmt::format("Cannot open '{}': permission to read it is denied.", path));
      return IoError("Cannot open", path, err);
    }
    return Adopt(fd, path);
  }

  Result<std::unique_ptr<File>> OpenOrCreate(const std::string& path) override {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      int err = errno;
      if (err == EACCES || err == EPERM || err == EROFS) {
        bool exists = ::access(path.c_str(), F_OK) == 0;
        return MakeError(ErrorCode::kReadOnly,
                         exists ? fmt::format("Cannot write '{}': the file is read-only.", path)
                                : fmt::format("Cannot create '{}': the folder '{}' is read-only.", path,
                                              FolderOf(path)));
      }
      if (err == ENOSPC || err == EDQUOT)
        return MakeError(ErrorCode::kIoError, fmt::format("Cannot create '{}': the disk is full", path));
      return IoError("Cannot create", path, err);
    }
    return Adopt(fd, path);
  }

  Result<bool> Exists(const std::string& path) override {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return true;
    if (errno == ENOENT || errno == ENOTDIR) return false;
    return IoError("Cannot look for", path, errno);
  }

  Status Remove(const std::string& path) override {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return {};
    int err = errno;
    if (err == EACCES || err == EPERM || err == EROFS)
      return MakeError(ErrorCode::kReadOnly,
                       fmt::format("Cannot remove '{}': the folder '{}' is read-only.", path, FolderOf(path)));
    return IoError("Cannot remove", path, err);
  }

  Status SyncFolderOf(const std::string& path) override {
    std::string folder = FolderOf(path);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return IoError("Cannot open the folder", folder, errno);
    int rc = ::fsync(fd);
    int err = errno;
    ::close(fd);
    // Some file systems cannot sync a folder; their entries are then as
    // durable as they will ever be.
    if (rc != 0 && err != EINVAL && err != ENOTSUP) return IoError("Cannot flush the folder", folder, err);
    return {};
  }
};

}  // namespace

Env* Env::Default() {
  static PosixEnv env;
  return &env;
}

}  // namespace jet

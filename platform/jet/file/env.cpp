#include "platform/jet/file/env.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace jet {
namespace {

Error IoError(const std::string& what, const std::string& path, int err) {
  return MakeError(ErrorCode::kIoError, fmt::format("{} '{}': {}", what, path, std::strerror(err)));
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
        if (errno == ENOSPC)
          return MakeError(ErrorCode::kIoError, fmt::format("Cannot write '{}': the disk is full", path_));
        return IoError("Cannot write", path_, errno);
      }
      done += static_cast<size_t>(n);
    }
    return {};
  }

  Status Sync() override {
    if (::fdatasync(fd_) != 0) return IoError("Cannot flush", path_, errno);
    return {};
  }

 private:
  int fd_;
  std::string path_;
};

class PosixEnv final : public Env {
 public:
  Result<std::unique_ptr<File>> Open(const std::string& path, bool writable) override {
    int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
      int err = errno;
      if (err == ENOENT) return MakeError(ErrorCode::kNotFound, fmt::format("Could not find file '{}'.", path));
      if (writable && (err == EACCES || err == EROFS || err == EPERM))
        return MakeError(ErrorCode::kReadOnly,
                         fmt::format("Cannot open '{}' for writing: the file or its folder is read-only.", path));
      return IoError("Cannot open", path, err);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return MakeError(ErrorCode::kIoError, fmt::format("Cannot open '{}': it is not a database file.", path));
    }
    return std::unique_ptr<File>(new PosixFile(fd, path));
  }
};

}  // namespace

Env* Env::Default() {
  static PosixEnv env;
  return &env;
}

}  // namespace jet

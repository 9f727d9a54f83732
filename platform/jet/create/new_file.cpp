#include "platform/jet/create/new_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace jet::create {
namespace {

namespace fs = std::filesystem;

Error OsError(const std::string& what, const std::string& path, int error) {
  ErrorCode code = error == EACCES || error == EROFS || error == EPERM ? ErrorCode::kReadOnly : ErrorCode::kIoError;
  return MakeError(code, what + " \"" + path + "\": " + std::strerror(error));
}

Error Exists(const std::string& path) {
  return MakeError(ErrorCode::kAlreadyExists, "\"" + path + "\" exists already; a new database never replaces a file");
}

// A name beside the target that no other writer uses: the process id and a counter.
std::string TemporaryName(const fs::path& folder, const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  return (folder / ("." + target.filename().string() + "." + std::to_string(getpid()) + "." +
                    std::to_string(counter++) + ".tmp"))
      .string();
}

Status WriteAll(int fd, const std::vector<std::vector<std::byte>>& pages) {
  for (const auto& page : pages) {
    size_t done = 0;
    while (done < page.size()) {
      ssize_t n = write(fd, page.data() + done, page.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return MakeError(ErrorCode::kIoError, std::strerror(n < 0 ? errno : ENOSPC));
      done += static_cast<size_t>(n);
    }
  }
  return {};
}

}  // namespace

Status RefuseExisting(const std::string& path) {
  std::error_code ec;
  if (fs::symlink_status(path, ec).type() != fs::file_type::not_found) return Exists(path);
  return {};
}

Status WriteNewFile(const std::string& path, const std::vector<std::vector<std::byte>>& pages) {
  JET_TRY(RefuseExisting(path));
  const fs::path target(path);
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  const std::string temp = TemporaryName(folder, target);
  // 0666 less the umask, as any new file of the user's.
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return OsError("cannot create a file in the folder of", path, errno);
  auto discard = [&] { unlink(temp.c_str()); };

  if (auto written = WriteAll(fd, pages); !written) {
    close(fd);
    discard();
    return MakeError(ErrorCode::kIoError, "cannot write \"" + path + "\": " + written.error().message);
  }
  if (fsync(fd) != 0) {
    int error = errno;
    close(fd);
    discard();
    return OsError("cannot sync", path, error);
  }
  if (close(fd) != 0) {
    int error = errno;
    discard();
    return OsError("cannot write", path, error);
  }
  // link() never replaces an existing file, so a file that appeared meanwhile survives.
  if (link(temp.c_str(), path.c_str()) != 0) {
    int error = errno;
    if (error == EEXIST) {
      discard();
      return Exists(path);
    }
    // File systems without hard links: rename, having checked for the target above.
    if (rename(temp.c_str(), path.c_str()) != 0) {
      int rename_error = errno;
      discard();
      return OsError("cannot create", path, rename_error);
    }
  } else {
    discard();
  }
  // The new directory entry reaches the disk too.
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return {};
}

}  // namespace jet::create

#include "db/file_exists.h"

#include <sys/stat.h>

namespace db {

bool FileExists(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace db

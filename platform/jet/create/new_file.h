#pragma once
// Writing a whole new file safely: the bytes go to a temporary file in the
// same folder, are synced, and the file is then linked into place, so the
// path holds either nothing or the complete file — never half of it — and
// an existing file is never replaced (not even one that appears meanwhile).

#include <string>
#include <vector>

#include "platform/jet/public/result.h"

namespace jet::create {

// kAlreadyExists when something exists at `path` (a dangling link included).
Status RefuseExisting(const std::string& path);

// Writes `pages` back to back as the new file `path`. kAlreadyExists as
// above; kReadOnly when the folder cannot be written; kIoError otherwise.
Status WriteNewFile(const std::string& path, const std::vector<std::vector<std::byte>>& pages);

}  // namespace jet::create

#pragma once
// A deterministic stream of page-level "statements" for crash and commit
// tests: statement k rewrites bytes of two of pages 3..16 and every fourth one
// appends a page. Any fixture with 17 pages or more takes it.

#include <cstring>
#include <string>
#include <vector>

#include "platform/jet/file/pager.h"

namespace testing_support {

inline jet::Status ApplyStatement(jet::Pager& pager, int k) {
  for (uint32_t p : {3u + (k * 5u) % 14u, 3u + (k * 11u + 4u) % 14u}) {
    JET_ASSIGN_OR_RETURN(page, pager.Write(p));
    std::memset(page.data() + (k % 400) * 10, k & 0xFF, 10);
    std::memcpy(page.data() + 4092, &k, sizeof k);
  }
  if (k % 4 == 3) {
    JET_ASSIGN_OR_RETURN(p, pager.Append());
    JET_ASSIGN_OR_RETURN(page, pager.Write(p));
    std::memset(page.data(), (k * 31) & 0xFF, page.size());
  }
  return {};
}

}  // namespace testing_support

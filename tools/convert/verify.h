#pragma once
// --verify: after a run (or on its own, --verify-only), every converted table
// is read again from PostgreSQL (the run's own SELECT) and from the Access file
// (through the engine), and compared value by value in the form the run's
// INSERT statements wrote them: each source row is turned into its statement by
// the run's own builder, and each stored value is rendered in that same form,
// so that a value the column narrowed (a fraction in a Long Integer column) is
// a difference.
//
// Rows are compared in streaming order while they agree. From the first row
// that does not, the rest of both sides is compared as multisets of 128-bit
// row digests (24 bytes a row on each side, at most kMaxDigestRows rows), so a
// reordering is no difference; rows left unmatched are named by number and, for
// the first few, shown column by column after a second read.

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "db/source_fields.h"
#include "engine/typed_conversion.h"
#include "db/target_fields.h"

namespace convert {

inline constexpr size_t kMaxDigestRows = 4'000'000;

// The rows whose statements the run's target refused, by table, each with
// the description its report gave.
struct RefusalLog {
  struct Refusal {
    long long row;
    std::string reason;
  };
  std::map<std::string, std::vector<Refusal>> by_table;
};

struct VerifyTotals {
  int tables = 0;
  int verified = 0;
  long long differences = 0;
  long long refused = 0;
  bool AllVerified() const { return verified == tables && refused == 0; }
};

// Compares `tables`; prints one line per table, the first differences of each,
// and a last line of totals to `out`. `refusals` is nullptr without a run
// (--verify-only): rows missing from the Access file are then missing.
// `keep_types`: the tables were converted keeping types (as the run was given them).
VerifyTotals VerifyTables(const db::SourceFields& source, const db::TargetFields& target,
                          const std::vector<std::string>& tables, const RefusalLog* refusals, FILE* out,
                          const engine::TypedOptions* keep_types = nullptr);

}  // namespace convert

#pragma once
// When grouped statements reach the disk: Jet's lazy commits. A commit costs
// a handful of fsyncs (journal, folder, database, folder), so committing each
// statement would make a conversion of a million rows crawl; grouping bounds
// what a crash can lose instead. A group is committed once it holds
// `statements` statements, or once `delay` has passed since its first
// statement ended, or once it has changed `dirty_pages` pages or added
// `appended_pages`, whichever comes first (checked as each statement ends),
// and always at Close.
//
// A database opened through jet::Database uses 1,000,000 statements or 500 ms
// (OpenOptions): at INSERT speeds the time limit decides, so a crash or power
// loss costs at most about half a second of work, and the journal's fsyncs
// stay a small share of the run. The defaults here are for a bare pager.

#include <chrono>
#include <cstddef>
#include <functional>

#include "platform/jet/public/options.h"

namespace jet {

class CommitPolicy {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  explicit CommitPolicy(CommitLimits limits = {}, Clock clock = &std::chrono::steady_clock::now)
      : limits_(limits), clock_(std::move(clock)) {}

  // A statement ended successfully: it joins the pending group.
  void StatementDone() {
    if (pending_++ == 0) group_start_ = clock_();
  }
  // Whether the pending group, which has changed `dirty_pages` pages (of
  // them `appended_pages` new ones), should be committed now.
  bool Due(size_t dirty_pages, size_t appended_pages) const {
    if (pending_ == 0) return false;
    return pending_ >= limits_.statements || dirty_pages >= limits_.dirty_pages ||
           appended_pages >= limits_.appended_pages ||
           clock_() - group_start_ >= limits_.delay;
  }
  // The group was committed or rolled back: a new one starts.
  void Reset() { pending_ = 0; }
  size_t pending() const { return pending_; }
  const CommitLimits& limits() const { return limits_; }

 private:
  CommitLimits limits_;
  Clock clock_;
  size_t pending_ = 0;
  std::chrono::steady_clock::time_point group_start_{};
};

}  // namespace jet

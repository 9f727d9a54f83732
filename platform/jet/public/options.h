#pragma once
// How a database is opened, and when its statements are committed.

#include <chrono>
#include <cstddef>
#include <string>

namespace jet {

class Env;  // file/env.h: the operating system as the engine sees it (tests inject faults)

// A group of statements is committed once it holds `statements` statements,
// or once `delay` has passed since its first statement ended (file/commit_policy.h).
struct CommitLimits {
  size_t statements = 1000;
  std::chrono::milliseconds delay{500};
  // Pages changed since the last commit are held in memory (with the
  // originals of those the file had): past this many the group is committed,
  // which bounds memory however fast statements come (128 MiB, and as much
  // for the originals). INSERTs whose keys come in no order change nearly
  // every leaf of a large table's indexes in each group (their entries go in
  // at the commit); with fewer pages than those leaves a group would commit
  // every few thousand rows, each commit writing every leaf twice (journal
  // and file).
  size_t dirty_pages = 32768;
  // Of those, pages added to the file: a table's new rows fill new pages
  // that nothing reads again before the commit, so their group is kept as
  // small as before (16 MiB).
  size_t appended_pages = 4096;
};

struct OpenOptions {
  std::string password;
  bool writable = false;
  Env* env = nullptr;  // nullptr: the operating system
  // When grouped statements are committed. At hundreds of thousands of
  // INSERTs a second a count of statements would commit every few
  // milliseconds; the time limit bounds what a crash can lose instead.
  CommitLimits commit_limits = {.statements = 1000000, .delay = std::chrono::milliseconds(500)};
  // false: commits without a rollback journal. For measuring the journal's
  // cost only: a crash during such a commit can damage the file.
  bool journal = true;
};

}  // namespace jet

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
  // for the originals). Once a table's index leaves outnumber it, INSERTs in
  // no key order change a new leaf with almost every row and commit far more
  // often than the delay says (each commit writes every changed page twice):
  // 4,096 pages cut such INSERTs into a 1,000,000-row table fourfold.
  size_t dirty_pages = 32768;
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

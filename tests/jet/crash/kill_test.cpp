// SIGKILL at random moments of a stream of commits into a real file: the next
// open plays back what the killed process left, and the file is exactly as
// after one of its commits, with no journal and no lock left behind.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string_view>
#include <thread>

#include "platform/jet/file/pager.h"
#include "tests/jet/file/page_stream.h"
#include "tests/jet/memory_env.h"
#include "tests/support/environment.h"

namespace {

using namespace jet;

constexpr int kStatements = 400;
constexpr size_t kGroup = 3;

size_t Hash(const std::vector<std::byte>& bytes) {
  return std::hash<std::string_view>()(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

PagerOptions StreamOptions(Env* env) {
  PagerOptions options{.writable = true, .env = env};
  options.commit_limits = {.statements = kGroup, .delay = std::chrono::hours(1)};
  return options;
}

// The file after each commit of the stream, as hashes.
std::set<size_t> CommittedStates(const std::vector<std::byte>& start) {
  testing_support::MemoryEnv env;
  env.files["db"] = start;
  std::set<size_t> states = {Hash(start)};
  auto pager = Pager::Open("db", StreamOptions(&env));
  if (!pager) return {};
  for (int k = 0; k < kStatements; ++k) {
    if (!testing_support::ApplyStatement(**pager, k) || !(*pager)->StatementDone()) return {};
    if ((*pager)->PendingStatements() == 0) states.insert(Hash(env.files["db"]));
  }
  if (!(*pager)->Commit()) return {};
  states.insert(Hash(env.files["db"]));
  return states;
}

TEST(KillTest, AKilledWriterLeavesALastCommitBehind) {
  REQUIRE_FIXTURE(fixture, "engine-empty-jet4.mdb");
  const auto start = testing_support::ReadBytes(fixture);
  const auto states = CommittedStates(start);
  ASSERT_EQ(states.size(), kStatements / kGroup + 2);

  std::string folder = testing_support::ScratchFolder("kill_test");
  std::mt19937 random(2024);
  int trials = 0, mid_stream = 0, progressed = 0;
  for (int trial = 0; trial < 12; ++trial) {
    std::string path = testing_support::CopyFile(fixture, folder);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      auto pager = Pager::Open(path, StreamOptions(nullptr));
      if (!pager) ::_exit(3);
      for (int k = 0; k < kStatements; ++k)
        if (!testing_support::ApplyStatement(**pager, k) || !(*pager)->StatementDone()) ::_exit(4);
      ::_exit((*pager)->Commit() ? 0 : 5);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) ++mid_stream;
    else ASSERT_EQ(WEXITSTATUS(status), 0);

    {
      auto pager = Pager::Open(path, {.writable = true});
      ASSERT_TRUE(pager) << pager.error().message;
    }
    size_t state = Hash(testing_support::ReadBytes(path));
    EXPECT_TRUE(states.count(state)) << "trial " << trial;
    if (state != Hash(start)) ++progressed;
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    EXPECT_FALSE(std::filesystem::exists(LockFile::PathFor(path)));
    ++trials;
  }
  std::printf("kill trials: %d, killed mid-stream: %d, past the first commit: %d\n", trials, mid_stream, progressed);
}

}  // namespace

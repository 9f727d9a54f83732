// Crashes at every step of a stream of commits: the process dies at its Nth
// file operation, then the system keeps every write, or power fails and the
// writes not synced are lost, kept or torn at random. The next open must find
// the file exactly as after the last commit that returned, or as after the
// commit under way if that one had reached its commit point; and it must stay
// so when recovery itself is interrupted by another power loss.

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/jet/file/pager.h"
#include "tests/jet/file/fault_env.h"
#include "tests/jet/file/page_stream.h"
#include "tests/support/environment.h"

namespace {

using namespace jet;
using testing_support::FaultEnv;
using Loss = FaultEnv::Loss;

constexpr const char* kDb = "c/db.mdb";
constexpr int kStatements = 24;
constexpr size_t kGroup = 4;

struct StreamRun {
  std::vector<std::vector<std::byte>> commits;  // the file after each commit, [0] = before any
  int64_t operations = 0;
  bool crashed = false;
};

// Runs the stream until it ends or the process "dies".
StreamRun RunStream(FaultEnv& env) {
  StreamRun run;
  run.commits.push_back(env.Contents(kDb));
  PagerOptions options{.writable = true, .env = &env};
  options.commit_limits = {.statements = kGroup, .delay = std::chrono::hours(1)};
  auto pager = Pager::Open(kDb, options);
  if (!pager) {
    run.crashed = true;
    return run;
  }
  for (int k = 0; k < kStatements && !run.crashed; ++k) {
    if (!testing_support::ApplyStatement(**pager, k)) break;
    bool due = (*pager)->PendingStatements() + 1 == kGroup;
    if (!(*pager)->StatementDone()) run.crashed = true;
    else if (due) run.commits.push_back(env.Contents(kDb));
  }
  if (!run.crashed && !(*pager)->Commit()) run.crashed = true;
  pager->reset();
  run.operations = env.operations;
  return run;
}

std::string Recover(FaultEnv& env) {
  auto pager = Pager::Open(kDb, {.writable = true, .env = &env});
  if (!pager) return pager.error().message;
  pager->reset();
  if (env.Has(std::string(kDb) + "-journal")) return "the journal is still there";
  return "";
}

// Which committed state the file is in, or -1.
int StateOf(const std::vector<std::vector<std::byte>>& commits, const std::vector<std::byte>& bytes) {
  auto it = std::find(commits.begin(), commits.end(), bytes);
  return it == commits.end() ? -1 : static_cast<int>(it - commits.begin());
}

TEST(PowerLossTest, EveryCrashPointRecoversToACommit) {
  REQUIRE_FIXTURE(fixture, "engine-empty-jet4.mdb");
  const auto bytes = testing_support::ReadBytes(fixture);

  FaultEnv clean;
  clean.Put(kDb, bytes);
  const StreamRun full = RunStream(clean);
  ASSERT_FALSE(full.crashed);
  ASSERT_EQ(full.commits.size(), kStatements / kGroup + 1);
  ASSERT_GT(full.operations, 50);

  int trials = 0, mid_recovery = 0;
  for (Loss loss : {Loss::kProcess, Loss::kPowerLossDropAll, Loss::kPowerLossRandom}) {
    for (int64_t at = 1; at <= full.operations; ++at) {
      for (uint32_t seed = 0; seed < (loss == Loss::kPowerLossRandom ? 3u : 1u); ++seed) {
        SCOPED_TRACE(testing::Message() << "loss " << static_cast<int>(loss) << ", crash at operation " << at
                                        << ", seed " << seed);
        FaultEnv env;
        env.Put(kDb, bytes);
        env.crash_at = at;
        StreamRun run = RunStream(env);
        ASSERT_TRUE(env.crashed());
        size_t done = run.commits.size() - 1;  // commits that returned
        env.Crash(loss, seed * 7919 + static_cast<uint32_t>(at));

        // Now and then the recovery itself loses power once.
        if (loss == Loss::kPowerLossRandom && at % 5 == 0) {
          env.crash_at = 1 + (at / 5) % 6;
          (void)Recover(env);
          env.Crash(Loss::kPowerLossRandom, seed + 1);
          ++mid_recovery;
        }
        ASSERT_EQ(Recover(env), "");
        int state = StateOf(full.commits, env.Contents(kDb));
        EXPECT_TRUE(state == static_cast<int>(done) || state == static_cast<int>(done) + 1)
            << "after " << done << " commits the file is in state " << state;
        ++trials;
      }
    }
  }
  std::printf("power-loss trials: %d (recovery interrupted in %d)\n", trials, mid_recovery);
}

}  // namespace

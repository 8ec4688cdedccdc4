#include "convert/batch.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "builder/filebuilder.h"
#include "convert/folderwalk.h"
#include "test_util.h"

namespace torvane {
namespace {

namespace fs = std::filesystem;

TEST(RunBatch, DeliversInInputOrderWithABoundedWindowAndOneDocumentSetPerWorker) {
  for (std::size_t jobs : {1, 3}) {
    const int count = 60;
    int produced = 0;
    std::atomic<int> inFlight{0}, mostInFlight{0};
    std::vector<int> delivered, waitedFor;
    std::vector<std::thread::id> threadOfWorker(jobs);
    std::atomic<bool> workerSharedAThread{false};
    std::vector<std::atomic<int>> busy(jobs);
    RunBatch<int, int>(
        jobs,
        [&](int& item) {
          if (produced == count) return false;
          item = produced++;
          int now = ++inFlight;
          for (int most = mostInFlight; now > most && !mostInFlight.compare_exchange_weak(most, now);) {
          }
          return true;
        },
        [&](std::size_t worker, const int& item) {
          // No two items are ever worked on by one worker index at once.
          if (busy[worker]++ != 0) workerSharedAThread = true;
          std::this_thread::sleep_for(std::chrono::microseconds((item * 7919) % 13 * 100));
          --busy[worker];
          return item * 2;
        },
        [&](const int& item, int& result) {
          EXPECT_EQ(result, item * 2);
          delivered.push_back(item);
          --inFlight;
        },
        [&](const int& item) { waitedFor.push_back(item); });
    ASSERT_EQ(delivered.size(), static_cast<std::size_t>(count)) << jobs;
    for (int i = 0; i < count; ++i) EXPECT_EQ(delivered[i], i);
    EXPECT_EQ(waitedFor, delivered);
    EXPECT_LE(mostInFlight, static_cast<int>(jobs == 1 ? 1 : kBatchWindowPerJob * jobs)) << jobs;
    EXPECT_FALSE(workerSharedAThread);
  }
}

TEST(RunBatch, AFailureOfOneItemEndsTheBatchAfterTheWorkersStop) {
  int produced = 0;
  std::vector<int> delivered;
  auto run = [&] {
    RunBatch<int, int>(
        2, [&](int& item) { return produced < 50 ? (item = produced++, true) : false; },
        [](std::size_t, const int& item) {
          if (item == 5) throw std::runtime_error("item 5");
          return item;
        },
        [&](const int& item, int&) { delivered.push_back(item); }, [](const int&) {});
  };
  EXPECT_THROW(run(), std::runtime_error);
  EXPECT_EQ(delivered, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_LE(produced, static_cast<int>(5 + 2 * kBatchWindowPerJob));
}

class FolderWalk : public ::testing::Test {
 protected:
  void Touch(const std::string& name) { test::WriteFile(dir.File(name), "x"); }
  std::vector<std::string> Walk(const std::string& root, std::vector<int>* errors = nullptr) {
    TFolderWalk walk(root);
    TWalkEntry entry;
    std::vector<std::string> found;
    while (walk.Next(entry)) {
      std::string relative = fs::path(entry.Path).lexically_relative(root).string();
      found.push_back(relative + " [" + entry.RelativeFolder + "]");
      if (errors != nullptr) errors->push_back(entry.Error);
    }
    return found;
  }
  test::TTempDir dir;
};

TEST_F(FolderWalk, TakesDrawingsAndPartsOfAnyCaseInByteOrderAndFollowsNoLinkToAFolder) {
  for (const char* folder : {"tree", "tree/b", "tree/a", "tree/a/deep", "tree/B.JWC", "elsewhere"}) {
    fs::create_directory(dir.File(folder));
  }
  for (const char* file : {"tree/z.jwc", "tree/Y.JWK", "tree/notes.txt", "tree/jwc", "tree/a/plan.Jwc",
                           "tree/a/deep/p.jwk", "tree/a/plan.jww", "tree/b/x.jwc", "tree/B.JWC/in.jwk",
                           "elsewhere/far.jwc", "tree/a/\x90\x7d.jwc"}) {
    Touch(file);
  }
  fs::create_directory_symlink("../../elsewhere", dir.File("tree/a/link"));
  fs::create_directory_symlink("../../elsewhere", dir.File("tree/a/linked.jwc"));
  fs::create_symlink("../../elsewhere/far.jwc", dir.File("tree/b/far-link.jwc"));
  ASSERT_EQ(mkfifo(dir.File("tree/b/pipe.jwk").c_str(), 0600), 0);

  std::vector<std::string> expected{
      "B.JWC/in.jwk [B.JWC]",   "Y.JWK []",       "a/deep/p.jwk [a/deep]", "a/plan.Jwc [a]",
      "a/\x90\x7d.jwc [a]",     "b/far-link.jwc [b]", "b/pipe.jwk [b]",    "b/x.jwc [b]",
      "z.jwc []"};
  EXPECT_EQ(Walk(dir.File("tree")), expected);
  EXPECT_EQ(Walk(dir.File("tree") + "/"), expected);
  EXPECT_EQ(CountWalk(dir.File("tree")), expected.size());
}

TEST_F(FolderWalk, AFolderThatCannotBeReadIsNamedWithItsError) {
  fs::create_directories(dir.File("tree/closed"));
  Touch("tree/closed/a.jwc");
  Touch("tree/open.jwc");
  std::vector<int> errors;
  EXPECT_EQ(Walk(dir.File("missing"), &errors), std::vector<std::string>{". []"});
  EXPECT_EQ(errors, std::vector<int>{ENOENT});
  // As a user for whom permissions hold.
  fs::permissions(dir.Path(), fs::perms::all);
  fs::permissions(dir.File("tree"), fs::perms::all);
  fs::permissions(dir.File("tree/closed"), fs::perms::none);
  int status = test::InChild(
      [&] {
        errors.clear();
        bool names = Walk(dir.File("tree"), &errors) == std::vector<std::string>{"closed [closed]", "open.jwc []"};
        return names && errors == std::vector<int>{EACCES, 0} ? 0 : 1;
      },
      true);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  fs::permissions(dir.File("tree/closed"), fs::perms::owner_all);
}

}  // namespace
}  // namespace torvane

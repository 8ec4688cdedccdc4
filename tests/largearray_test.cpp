#include "support/largearray.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace torvane {
namespace {

struct TBlock {
  std::byte* Start;
  std::size_t Bytes;
  std::byte Mark;
};

// Filled and compared with memset and memcmp, which the sanitizers check per call rather than per
// byte: the threads' test stays quick under them.
TBlock Take(std::size_t bytes, std::byte mark) {
  auto* start = static_cast<std::byte*>(AllocateLarge(bytes));
  std::memset(start, std::to_integer<int>(mark), bytes);
  return TBlock{start, bytes, mark};
}

// Every byte is the mark: the first is, and each equals the next.
bool Intact(const TBlock& block) {
  return block.Bytes == 0 ||
         (block.Start[0] == block.Mark && std::memcmp(block.Start, block.Start + 1, block.Bytes - 1) == 0);
}

// Blocks freed and taken again, whole or in pieces, never overlap a block still held: every held
// block keeps every byte written into it.
TEST(LargeBlocks, BlocksTakenAgainNeverOverlapHeldOnes) {
  constexpr std::size_t kKiB = 1024, kMiB = 1024 * kKiB;
  std::vector<TBlock> held;
  uint8_t mark = 1;
  for (std::size_t bytes : {5 * kMiB, 600 * kKiB, 3 * kMiB + 1, 100 * std::size_t{1}, 2 * kMiB}) {
    held.push_back(Take(bytes, std::byte{mark++}));
  }
  // Free the first and the third; take smaller and larger ones, which may come from them.
  FreeLarge(held[0].Start, held[0].Bytes);
  FreeLarge(held[2].Start, held[2].Bytes);
  held.erase(held.begin() + 2);
  held.erase(held.begin());
  for (std::size_t bytes : {kMiB, 2 * kMiB, 512 * kKiB, 7 * kMiB, 3 * kMiB}) {
    held.push_back(Take(bytes, std::byte{mark++}));
  }
  for (const TBlock& block : held) EXPECT_TRUE(Intact(block)) << block.Bytes;
  for (const TBlock& block : held) FreeLarge(block.Start, block.Bytes);
}

// Threads taking and freeing blocks at once never share one.
TEST(LargeBlocks, ThreadsTakingAndFreeingAtOnceNeverShareABlock) {
  auto churn = [](std::byte mark, bool& intact) {
    for (std::size_t round = 0; round < 40; ++round) {
      TBlock a = Take((round % 5 + 1) * (std::size_t{1} << 19), mark);
      TBlock b = Take(std::size_t{3} << 20, mark);
      intact = intact && Intact(a) && Intact(b);
      FreeLarge(a.Start, a.Bytes);
      FreeLarge(b.Start, b.Bytes);
    }
  };
  bool first = true, second = true;
  std::thread other(churn, std::byte{0xAA}, std::ref(second));
  churn(std::byte{0x55}, first);
  other.join();
  EXPECT_TRUE(first);
  EXPECT_TRUE(second);
}

}  // namespace
}  // namespace torvane

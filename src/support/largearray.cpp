#include "support/largearray.h"

#include <sys/mman.h>

#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

namespace torvane {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// From this size on a block is taken in huge pages. The first touch of a 4 KB page costs some
// 10-20 µs here, so a block of a quarter of a huge page already costs more in faults than a huge
// page's clearing; smaller ones stay with the ordinary allocator.
constexpr std::size_t kLargeBlock = std::size_t{512} << 10;
// Freed huge-page blocks kept for the next large blocks, at most this much: memory the process has
// touched is used again without the kernel clearing fresh pages for it (a drawing's input bytes,
// freed once decoded, hold the writer's blocks).
constexpr std::size_t kMostKept = std::size_t{64} << 20;

std::size_t HugeRounded(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }
// A block is a whole multiple of kLargeBlock: small ones share a huge page, and the rest of a large
// one's last huge page is left for the next (a drawing's record arrays leave room for its text pool
// and its sine tables).
std::size_t BlockRounded(std::size_t bytes) { return (bytes + kLargeBlock - 1) / kLargeBlock * kLargeBlock; }

// Whole huge pages, aligned to them.
std::byte* MapHugePages(std::size_t bytes) {
  void* mapped = mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  auto start = reinterpret_cast<std::uintptr_t>(mapped);
  std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) munmap(mapped, aligned - start);
  if (std::size_t after = start + kHugePage - aligned; after > 0) {
    munmap(reinterpret_cast<void*>(aligned + bytes), after);
  }
  // Only advice: where huge pages are not to be had, the block works as any other.
  madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
  return reinterpret_cast<std::byte*>(aligned);
}

class TKeptBlocks {
 public:
  // The start of a kept block of at least bytes, the smallest that fits; the rest of it stays kept.
  std::byte* Take(std::size_t bytes) {
    std::lock_guard guard(mutex_);
    auto best = blocks_.end();
    for (auto block = blocks_.begin(); block != blocks_.end(); ++block) {
      if (block->Bytes >= bytes && (best == blocks_.end() || block->Bytes < best->Bytes)) best = block;
    }
    if (best == blocks_.end()) return nullptr;
    std::byte* start = best->Start;
    best->Start += bytes;
    best->Bytes -= bytes;
    if (best->Bytes == 0) blocks_.erase(best);
    kept_ -= bytes;
    return start;
  }

  // Gives the kept blocks of whole huge pages back to the system. A part of a huge page stays
  // kept: the rest of that page may be in use, and giving part of it back would split it.
  void Release() noexcept {
    std::lock_guard guard(mutex_);
    std::erase_if(blocks_, [this](const TBlock& block) {
      if (reinterpret_cast<std::uintptr_t>(block.Start) % kHugePage != 0 || block.Bytes % kHugePage != 0) return false;
      munmap(block.Start, block.Bytes);
      kept_ -= block.Bytes;
      return true;
    });
  }

  // Keeps a freed block; false when that would keep too much.
  bool Keep(std::byte* start, std::size_t bytes) noexcept {
    std::lock_guard guard(mutex_);
    if (bytes > kMostKept - kept_) return false;
    try {
      blocks_.push_back(TBlock{start, bytes});
    } catch (const std::bad_alloc&) {
      return false;
    }
    kept_ += bytes;
    return true;
  }

 private:
  struct TBlock {
    std::byte* Start;
    std::size_t Bytes;
  };
  std::mutex mutex_;
  std::vector<TBlock> blocks_;
  std::size_t kept_ = 0;
};

// Never destroyed: a block may be freed by a static or thread-local owner at exit.
TKeptBlocks& KeptBlocks() {
  static TKeptBlocks& kept = *new TKeptBlocks;
  return kept;
}

#if defined(__SANITIZE_ADDRESS__)
// Under the address sanitizer every block comes from the ordinary allocator, which guards its ends.
constexpr bool kOwnBlocks = false;
#else
constexpr bool kOwnBlocks = true;
#endif

}  // namespace

void* AllocateLarge(std::size_t bytes) {
  if (!kOwnBlocks || bytes < kLargeBlock) return ::operator new(bytes);
  if (bytes > SIZE_MAX - 2 * kHugePage) throw std::bad_alloc();
  const std::size_t rounded = BlockRounded(bytes);
  if (std::byte* kept = KeptBlocks().Take(rounded)) return kept;
  // Blocks too small for this one would only stay beside it (a drawing's input bytes while its
  // larger converted arrays are made): they go before fresh memory is mapped.
  KeptBlocks().Release();
  const std::size_t mapped = HugeRounded(rounded);
  std::byte* start = MapHugePages(mapped);
  // The rest of the last huge page is kept for the next block, which then costs no fresh page.
  if (mapped > rounded && !KeptBlocks().Keep(start + rounded, mapped - rounded)) {
    munmap(start + rounded, mapped - rounded);
  }
  return start;
}

void FreeLarge(void* memory, std::size_t bytes) noexcept {
  bool kept = kOwnBlocks && bytes >= kLargeBlock &&
              KeptBlocks().Keep(static_cast<std::byte*>(memory), BlockRounded(bytes));
  if (!kept) ReturnLarge(memory, bytes);
}

void ReturnLarge(void* memory, std::size_t bytes) noexcept {
  if (!kOwnBlocks || bytes < kLargeBlock) {
    ::operator delete(memory);
    return;
  }
  munmap(memory, BlockRounded(bytes));
}

}  // namespace torvane

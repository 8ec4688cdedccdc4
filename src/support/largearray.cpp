#include "support/largearray.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace torvane {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Below this a block stays with the ordinary allocator. From one huge page on, the memory a block
// rounds up to is less than what the faults of its 4 KB pages would cost (some 8 µs each here).
constexpr std::size_t kLargeBlock = kHugePage;

std::size_t HugeRounded(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* AllocateLarge(std::size_t bytes) {
  if (bytes < kLargeBlock) return ::operator new(bytes);
  if (bytes > SIZE_MAX - kHugePage) throw std::bad_alloc();
  std::size_t rounded = HugeRounded(bytes);
  void* memory = std::aligned_alloc(kHugePage, rounded);
  if (memory == nullptr) throw std::bad_alloc();
  // Only advice: where huge pages are not to be had, the block works as any other.
  madvise(memory, rounded, MADV_HUGEPAGE);
  return memory;
}

void FreeLarge(void* memory, std::size_t bytes) noexcept {
  if (bytes < kLargeBlock) {
    ::operator delete(memory);
  } else {
    std::free(memory);
  }
}

}  // namespace torvane

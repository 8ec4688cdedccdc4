// Storage for the large record arrays of drawings and parts. Blocks of 512 KB and more are taken in
// huge pages where the system offers them (first touching a large drawing's memory in 4 KB pages
// costs about a fifth of its whole conversion), blocks under a huge page share one, and freed ones
// are used again before fresh memory is asked for.
#pragma once

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace torvane {

// At least bytes of memory (aligned for any record type), or std::bad_alloc.
void* AllocateLarge(std::size_t bytes);
// Frees what AllocateLarge(bytes) gave.
void FreeLarge(void* memory, std::size_t bytes) noexcept;
// Frees it back to the system at once: its pages are not kept for later blocks.
void ReturnLarge(void* memory, std::size_t bytes) noexcept;

// Frees a block of AllocateLarge for a unique_ptr.
struct TLargeRelease {
  std::size_t capacity = 0;
  void operator()(void* memory) const noexcept { FreeLarge(memory, capacity); }
};

// Set on a thread while a reader sizes arrays of plain records that it then fills whole: their new
// records are left as the memory has them instead of being zeroed first.
inline thread_local bool SizingForOverwrite = false;

class TSizingForOverwrite {
 public:
  TSizingForOverwrite() { SizingForOverwrite = true; }
  ~TSizingForOverwrite() { SizingForOverwrite = false; }
  TSizingForOverwrite(const TSizingForOverwrite&) = delete;
  TSizingForOverwrite& operator=(const TSizingForOverwrite&) = delete;
};

template <typename T>
struct TLargeAllocator {
  using value_type = T;
  TLargeAllocator() = default;
  template <typename U>
  TLargeAllocator(const TLargeAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return static_cast<T*>(AllocateLarge(n * sizeof(T))); }
  void deallocate(T* memory, std::size_t n) noexcept { FreeLarge(memory, n * sizeof(T)); }
  // A new record is value-initialised, as std::allocator makes it, unless it is sized for
  // overwriting.
  template <typename U>
  void construct(U* at) {
    if constexpr (std::is_trivially_copyable_v<U> && std::is_trivially_destructible_v<U>) {
      if (SizingForOverwrite) return;
    }
    ::new (static_cast<void*>(at)) U();
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
  template <typename U>
  bool operator==(const TLargeAllocator<U>&) const noexcept {
    return true;
  }
};

template <typename T>
using TLargeVector = std::vector<T, TLargeAllocator<T>>;

// Sets document to a fresh one whose record arrays are empty but keep the memory they had, so that
// a worker reading file after file allocates them once.
template <typename Document, typename... Arrays>
void ResetKeepingArrays(Document& document, Arrays Document::*... arrays) {
  auto kept = std::make_tuple(std::move(document.*arrays)...);
  document = Document{};
  std::apply([&](auto&... vectors) { ((vectors.clear(), document.*arrays = std::move(vectors)), ...); }, kept);
}

}  // namespace torvane

// Storage for the large record arrays of drawings and parts. Blocks of several megabytes are taken
// in huge pages where the system offers them: first touching a large drawing's memory in 4 KB
// pages costs about a fifth of its whole conversion.
#pragma once

#include <cstddef>
#include <tuple>
#include <vector>

namespace torvane {

// At least bytes of memory (aligned for any record type), or std::bad_alloc.
void* AllocateLarge(std::size_t bytes);
// Frees what AllocateLarge(bytes) gave.
void FreeLarge(void* memory, std::size_t bytes) noexcept;

// Frees a block of AllocateLarge for a unique_ptr.
struct TLargeRelease {
  std::size_t capacity = 0;
  void operator()(void* memory) const noexcept { FreeLarge(memory, capacity); }
};

template <typename T>
struct TLargeAllocator {
  using value_type = T;
  TLargeAllocator() = default;
  template <typename U>
  TLargeAllocator(const TLargeAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return static_cast<T*>(AllocateLarge(n * sizeof(T))); }
  void deallocate(T* memory, std::size_t n) noexcept { FreeLarge(memory, n * sizeof(T)); }
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

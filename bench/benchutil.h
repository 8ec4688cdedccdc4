// What the benchmark programs share: a failed step ends the program with its reason, and a
// seeded random source, so that every run measures the same files.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace torvane::bench {

inline void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what);
}

class TRandom {
 public:
  explicit TRandom(uint64_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state_ >> 33);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }
  float Uniform(float low, float high) { return low + (high - low) * static_cast<float>(Next() >> 7) / 16777216.0f; }

 private:
  uint64_t state_;
};

}  // namespace torvane::bench

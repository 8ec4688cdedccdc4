// What the benchmark programs share: a failed step ends the program with its reason, a seeded
// random source, so that every run measures the same files, and a scratch folder.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
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

// A fresh folder under the system's temporary folder, removed with all it holds at the end.
struct TTempFolder {
  std::filesystem::path path;
  TTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "torvane-bench-XXXXXX").string();
    Check(mkdtemp(pattern.data()) != nullptr, "cannot make a temporary folder");
    path = pattern;
  }
  ~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
};

}  // namespace torvane::bench

// Output files that replace their target only when complete: the bytes go to a temporary file in
// the target's folder, which is renamed over the target at the end. A failed write leaves any
// earlier file at the target untouched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace torvane {

// Where bytes go; Write throws TIoError when they cannot be written.
class TByteSink {
 public:
  virtual ~TByteSink() = default;
  virtual void Write(const uint8_t* data, std::size_t size) = 0;
};

class TOutputFile final : public TByteSink {
 public:
  // Creates the temporary file. Throws TIoError when it cannot be created, or when the target
  // exists and may not be written (or is a folder). Unless replace is set, a target that exists
  // is never replaced: neither now (EEXIST) nor when one appears before Commit.
  explicit TOutputFile(const std::string& path, bool replace = true);
  // Removes the temporary file unless Commit succeeded.
  ~TOutputFile() override;
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  void Write(const uint8_t* data, std::size_t size) override;
  // Closes the temporary file and renames it over the target; throws TIoError on failure.
  void Commit();

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  bool replace_ = true;
  bool replacing_ = false;  // an earlier file stands at the target
  bool committed_ = false;
};

// Writes a file through TOutputFile: true when body wrote every byte and the file took its place;
// false when a write failed (the target is left as it was, failure says why). A target that
// cannot be created at all raises TIoError.
bool WriteFileReplacing(const std::string& path, const std::function<void(TByteSink&)>& body,
                        std::string* failure = nullptr);

}  // namespace torvane

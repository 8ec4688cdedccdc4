// Small helpers shared by the tests.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>
#include <string_view>

#include "support/outputfile.h"
#include "support/readfailure.h"

namespace torvane::test {

// "01 80" for the bytes 0x01 0x80.
std::string Hex(std::string_view bytes);
// The bytes of a text like "FF FF E6 00".
std::string Bytes(std::string_view hex);

// Why a read stopped, in the command line's English words; empty for a read that did not stop.
std::string Why(const TReadFailure& failure);

struct TMemorySink : TByteSink {
  std::string bytes;
  void Write(const uint8_t* data, std::size_t size) override;
};

// Fails (TIoError, disk full) once more than limit bytes would have been written.
struct TFailingSink : TByteSink {
  explicit TFailingSink(std::size_t limit) : limit(limit) {}
  std::size_t limit;
  std::string bytes;
  void Write(const uint8_t* data, std::size_t size) override;
};

// Lowers the largest file size this process may write, so that a write fails midway as on a full
// disk (EFBIG instead of a signal); restores both when it ends.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes);
  ~TFileSizeLimit();
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
  bool Ok() const { return ok_; }

 private:
  rlimit previous_{};
  sighandler_t previousHandler_ = SIG_DFL;
  bool ok_ = false;
};

// A fresh folder for one test, removed afterwards.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Runs body in a forked child and answers its wait status; when asUser is set and this process is
// root, the child first becomes the user nobody, for whom permissions hold. What body prints to
// standard error goes to errorFile when one is given.
int InChild(const std::function<int()>& body, bool asUser = false, const std::string& errorFile = "");
// A shell command's exit status (-1 when it did not exit) and what it printed on standard output
// and standard error together.
struct TShellRun {
  int Status = -1;
  std::string Output;
};
TShellRun RunShell(const std::string& command);

// The names in folder that a temporary output would have (".torvane-...").
std::vector<std::string> TemporaryFilesIn(const std::filesystem::path& folder);

}  // namespace torvane::test

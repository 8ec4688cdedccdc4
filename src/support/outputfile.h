// Output files that replace their target only when complete: the bytes go to a temporary file in
// the target's folder, which is renamed over the target at the end. A failed write leaves any
// earlier file at the target untouched. A target the user named that is a device, a named pipe
// or a socket is written into directly, as cp would, and never replaced; a symbolic link the user
// named is written through. A target derived from an input's name is only ever a regular file in
// place of the entry at its path: a link, device or pipe found there is an existing file, never
// opened, and replaced itself (the link, not what it names) when replacing is allowed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <sys/types.h>

namespace torvane {

// Where bytes go; Write throws TIoError when they cannot be written.
class TByteSink {
 public:
  virtual ~TByteSink() = default;
  virtual void Write(const uint8_t* data, std::size_t size) = 0;
};

// Writes every byte to an open descriptor that it does not own (standard output).
class TDescriptorSink final : public TByteSink {
 public:
  // name names the descriptor in errors.
  TDescriptorSink(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  void Write(const uint8_t* data, std::size_t size) override;

 private:
  int fd_;
  std::string name_;
};

// The file that writing to path reaches: a symbolic link is written through, dangling or not, so
// that the link stays and what it names changes; a chain of links is followed as far as the
// system would.
std::string ResolveTarget(const std::string& path);

// Who chose an output's path: the user, naming that very path, or the program, deriving it from an
// input's name (beside the input, under an output folder, in a batch).
enum class TOutputNaming { Named, Derived };

// What stands at a path as lstat found it: nothing (or nothing that could be looked at), or an
// entry of that type and mode.
struct TPathEntry {
  bool Exists = false;
  mode_t Mode = 0;
};

// A file by device and inode, so that every name and link of it counts.
using TFileId = std::pair<dev_t, ino_t>;

class TOutputFile final : public TByteSink {
 public:
  // Creates the temporary file, or opens a special file the user named for writing. Throws
  // TIoError when it cannot, or when the target exists and may not be written (or is a folder).
  // Unless replace is set, a file at the target is never replaced: neither now (EEXIST) nor when
  // one appears before Commit (EEXIST from Commit).
  // For a derived output, entry is what the caller found at its path with lstat just before
  // (TOutputGuard::Check does), so that the path is not looked at twice; when absent it is looked
  // at here.
  explicit TOutputFile(const std::string& path, bool replace = true, TOutputNaming naming = TOutputNaming::Named,
                       const std::optional<TPathEntry>& entry = std::nullopt);
  // Removes the temporary file unless Commit succeeded.
  ~TOutputFile() override;
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  void Write(const uint8_t* data, std::size_t size) override;
  // Closes the temporary file once every byte is written, on the disk first when it is to replace
  // an earlier file; throws TIoError on failure. Commit does it when it was not done.
  void Finish();
  // Closes the temporary file and renames it over the target; throws TIoError on failure.
  void Commit();
  // The file written: the temporary file that takes the target's place; none for a special file
  // written into.
  std::optional<TFileId> Written() const { return written_; }

 private:
  void OpenTemporary(const std::string& path, mode_t mode, bool keepMode);
  // Closes the files and removes the temporary file unless it took the target's place.
  void Release();

  std::string target_;
  // The target's folder, held open: the temporary file is made, renamed and removed relative to
  // it, so that a folder moved meanwhile takes its temporary file along and leaves none behind.
  int folder_ = -1;
  std::string temporary_;  // the name in folder_; empty while there is none to remove
  int fd_ = -1;
  bool replace_ = true;
  bool replacing_ = false;  // an earlier file stands at the target
  bool direct_ = false;     // a special file, written into
  bool finished_ = false;  // closed with every byte
  bool committed_ = false;
  std::optional<TFileId> written_;
};

// Called with the target's path after a finished temporary file is closed and before it takes the
// target's place; tests make things happen there. An empty hook (the default) does nothing.
void SetCommitHook(std::function<void(const std::string& target)> hook);

// Removes every temporary file that is being written, for a program stopped by a signal, and
// answers how many there were. Safe to call from any thread (not from a signal handler) while
// outputs are open on others; no temporary file is made or put in place after it.
std::size_t RemoveTemporaryFiles();

}  // namespace torvane

#include "support/outputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>

#include "support/ioerror.h"

namespace torvane {
namespace {

// Short, so that a target whose name is as long as the system allows still gets one.
std::string TemporaryName(const std::string& target, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  std::string name = ".torvane-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
                     std::to_string(attempt) + ".tmp";
  return (std::filesystem::path(target).parent_path() / name).string();
}

void WriteAll(int fd, const uint8_t* data, std::size_t size, const std::string& name) {
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw TIoError::FromErrno(errno, name);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

std::function<void(const std::string&)>& CommitHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

// The temporary files being written, for RemoveTemporaryFiles. A file is made and listed under
// the lock, and unlisted after it is gone or has taken its place, so that a stop that holds the
// lock finds every file there is and no new one appears behind it.
struct TInFlight {
  std::mutex lock;
  std::set<std::string> names;
};
TInFlight& InFlight() {
  static TInFlight inFlight;
  return inFlight;
}
// Makes a new file, listed; -1 with the errno in error when it cannot.
int CreateListed(const std::string& name, int& error) {
  std::lock_guard guard(InFlight().lock);
  int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  error = errno;
  if (fd >= 0) InFlight().names.insert(name);
  return fd;
}
void Unlist(const std::string& name) {
  std::lock_guard guard(InFlight().lock);
  InFlight().names.erase(name);
}

}  // namespace

std::string ResolveTarget(const std::string& path) {
  namespace fs = std::filesystem;
  fs::path target(path);
  std::error_code error;
  for (int depth = 0; depth < 40 && fs::is_symlink(target, error); ++depth) {
    fs::path link = fs::read_symlink(target, error);
    if (error) break;
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  return target.string();
}

void TDescriptorSink::Write(const uint8_t* data, std::size_t size) { WriteAll(fd_, data, size, name_); }

void SetCommitHook(std::function<void(const std::string&)> hook) { CommitHook() = std::move(hook); }

std::size_t RemoveTemporaryFiles() {
  // The lock stays held: the program is about to end, and no file is made or renamed meanwhile.
  InFlight().lock.lock();
  std::size_t removed = 0;
  for (const std::string& name : InFlight().names) removed += unlink(name.c_str()) == 0 ? 1 : 0;
  InFlight().names.clear();
  return removed;
}

TOutputFile::TOutputFile(const std::string& path, bool replace) : target_(path), replace_(replace) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
    // A device, pipe or socket stays what it is; it needs no permission to be replaced. Opened by
    // the path as given, so that the system follows links such as /dev/stdout to a pipe.
    direct_ = true;
    fd_ = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) throw TIoError::FromErrno(errno, path);
    return;
  }
  target_ = ResolveTarget(path);
  if (target_.empty()) throw TIoError::FromErrno(ENOENT, path);
  bool exists = stat(target_.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) throw TIoError::FromErrno(EISDIR, path);
  replacing_ = exists;
  if (exists) {
    if (!replace_) throw TIoError::FromErrno(EEXIST, path);
    if (access(target_.c_str(), W_OK) != 0) throw TIoError::FromErrno(errno, path);
  }
  OpenTemporary(path, info.st_mode & 07777, exists);
}

void TOutputFile::OpenTemporary(const std::string& path, mode_t mode, bool keepMode) {
  for (unsigned attempt = 0; fd_ < 0; ++attempt) {
    std::string name = TemporaryName(target_, attempt);
    int error = 0;
    fd_ = CreateListed(name, error);
    if (fd_ >= 0) {
      temporary_ = name;
      break;
    }
    if (error != EEXIST || attempt > 100) throw TIoError::FromErrno(error, path);
  }
  // A replaced file keeps its permissions; a new one gets the usual ones under the umask.
  if (keepMode && fchmod(fd_, mode) != 0) {
    int error = errno;
    close(fd_);
    fd_ = -1;
    unlink(temporary_.c_str());
    Unlist(temporary_);
    throw TIoError::FromErrno(error, path);
  }
}

TOutputFile::~TOutputFile() {
  if (fd_ >= 0) close(fd_);
  if (temporary_.empty()) return;
  if (!committed_) unlink(temporary_.c_str());
  Unlist(temporary_);
}

void TOutputFile::Write(const uint8_t* data, std::size_t size) { WriteAll(fd_, data, size, target_); }

void TOutputFile::Commit() {
  // A file that replaces an earlier one is on the disk before it takes its place: after a crash
  // the target is the old file or the new one, never an empty one. A new file risks nothing.
  if (replacing_ && fsync(fd_) != 0) throw TIoError::FromErrno(errno, target_);
  int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) throw TIoError::FromErrno(errno, target_);
  if (direct_) {
    committed_ = true;
    return;
  }
  if (CommitHook()) CommitHook()(target_);
  if (replace_) {
    if (rename(temporary_.c_str(), target_.c_str()) != 0) throw TIoError::FromErrno(errno, target_);
  } else {
    // A file that appeared at the target since the start stays: the rename refuses atomically.
    if (renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) != 0) {
      int error = errno;
      if (error != EINVAL && error != ENOSYS) throw TIoError::FromErrno(error, target_);
      // A file system without that rename: a hard link is just as atomic.
      if (link(temporary_.c_str(), target_.c_str()) != 0) throw TIoError::FromErrno(errno, target_);
      unlink(temporary_.c_str());
    }
  }
  committed_ = true;
}

}  // namespace torvane

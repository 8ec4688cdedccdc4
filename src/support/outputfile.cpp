#include "support/outputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "support/ioerror.h"

namespace torvane {
namespace {

// A symbolic link is written through, dangling or not, so that the link stays and what it names
// changes; a chain of links is followed as far as the system would.
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

// Short, so that a target whose name is as long as the system allows still gets one.
std::string TemporaryName(const std::string& target, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  std::string name = ".torvane-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
                     std::to_string(attempt) + ".tmp";
  return (std::filesystem::path(target).parent_path() / name).string();
}

}  // namespace

TOutputFile::TOutputFile(const std::string& path, bool replace) : target_(ResolveTarget(path)), replace_(replace) {
  if (target_.empty()) throw TIoError::FromErrno(ENOENT, path);
  mode_t mode = 0666;
  struct stat info {};
  bool exists = stat(target_.c_str(), &info) == 0;
  replacing_ = exists;
  if (exists) {
    if (S_ISDIR(info.st_mode)) throw TIoError::FromErrno(EISDIR, path);
    if (!replace_) throw TIoError::FromErrno(EEXIST, path);
    if (access(target_.c_str(), W_OK) != 0) throw TIoError::FromErrno(errno, path);
    mode = info.st_mode & 07777;
  }
  for (unsigned attempt = 0; fd_ < 0; ++attempt) {
    temporary_ = TemporaryName(target_, attempt);
    fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && (errno != EEXIST || attempt > 100)) throw TIoError::FromErrno(errno, path);
  }
  // A replaced file keeps its permissions; a new one gets the usual ones under the umask.
  if (exists && fchmod(fd_, mode) != 0) {
    int error = errno;
    close(fd_);
    fd_ = -1;
    unlink(temporary_.c_str());
    throw TIoError::FromErrno(error, path);
  }
}

TOutputFile::~TOutputFile() {
  if (fd_ >= 0) close(fd_);
  if (!committed_) unlink(temporary_.c_str());
}

void TOutputFile::Write(const uint8_t* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = write(fd_, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw TIoError::FromErrno(errno, target_);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

void TOutputFile::Commit() {
  // A file that replaces an earlier one is on the disk before it takes its place: after a crash
  // the target is the old file or the new one, never an empty one. A new file risks nothing.
  if (replacing_ && fsync(fd_) != 0) throw TIoError::FromErrno(errno, target_);
  int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) throw TIoError::FromErrno(errno, target_);
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

bool WriteFileReplacing(const std::string& path, const std::function<void(TByteSink&)>& body,
                        std::string* failure) {
  TOutputFile file(path);
  try {
    body(file);
    file.Commit();
  } catch (const TIoError& e) {
    if (failure != nullptr) *failure = e.Text();
    return false;
  }
  return true;
}

}  // namespace torvane

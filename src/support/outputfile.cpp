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
#include <shared_mutex>

#include "support/ioerror.h"

namespace torvane {
namespace {

// Short, so that a target whose name is as long as the system allows still gets one.
std::string TemporaryName(unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  static const pid_t process = getpid();
  return ".torvane-" + std::to_string(process) + "-" + std::to_string(counter++) + "-" + std::to_string(attempt) +
         ".tmp";
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

// The temporary files being written, by their folder's descriptor and their name, for
// RemoveTemporaryFiles. A file is made and listed, and put in place, while making is held shared;
// a stop holds it for good, so that it finds every file there is and no file appears or takes its
// place behind it. Shared, so that workers making files and the thread putting them in place never
// wait for each other.
struct TInFlight {
  std::shared_mutex making;
  std::mutex lock;  // the list
  std::set<std::pair<int, std::string>> files;
};
TInFlight& InFlight() {
  static TInFlight inFlight;
  return inFlight;
}
// Makes a new file in the folder, listed; -1 with the errno in error when it cannot.
int CreateListed(int folder, const std::string& name, int& error) {
  std::shared_lock making(InFlight().making);
  int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  error = errno;
  if (fd >= 0) {
    std::lock_guard guard(InFlight().lock);
    InFlight().files.emplace(folder, name);
  }
  return fd;
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
  // Held for good: the program is about to end, and no file is made or renamed meanwhile.
  InFlight().making.lock();
  std::lock_guard guard(InFlight().lock);
  std::size_t removed = 0;
  for (const auto& [folder, name] : InFlight().files) removed += unlinkat(folder, name.c_str(), 0) == 0 ? 1 : 0;
  InFlight().files.clear();
  return removed;
}

TOutputFile::TOutputFile(const std::string& path, bool replace, TOutputNaming naming,
                         const std::optional<TPathEntry>& entry)
    : target_(path), replace_(replace) {
  struct stat info {};
  bool named = naming == TOutputNaming::Named;
  if (named && stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
    // A device, pipe or socket stays what it is; it needs no permission to be replaced. Opened by
    // the path as given, so that the system follows links such as /dev/stdout to a pipe.
    direct_ = true;
    fd_ = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) throw TIoError::FromErrno(errno, path);
    return;
  }
  if (named) target_ = ResolveTarget(path);
  if (target_.empty()) throw TIoError::FromErrno(ENOENT, path);
  // A derived output is the entry at its path, whatever it is.
  bool exists = false;
  if (!named && entry) {
    exists = entry->Exists;
    info.st_mode = entry->Mode;
  } else {
    exists = (named ? stat(target_.c_str(), &info) : lstat(target_.c_str(), &info)) == 0;
  }
  if (exists && S_ISDIR(info.st_mode)) throw TIoError::FromErrno(EISDIR, path);
  bool regular = exists && S_ISREG(info.st_mode);
  replacing_ = exists;
  if (exists) {
    if (!replace_) throw TIoError::FromErrno(EEXIST, path);
    if (regular && access(target_.c_str(), W_OK) != 0) throw TIoError::FromErrno(errno, path);
  }
  OpenTemporary(path, info.st_mode & 07777, regular);
}

void TOutputFile::OpenTemporary(const std::string& path, mode_t mode, bool keepMode) {
  std::string folder = std::filesystem::path(target_).parent_path().string();
  folder_ = open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder_ < 0) throw TIoError::FromErrno(errno, path);
  for (unsigned attempt = 0; fd_ < 0; ++attempt) {
    std::string name = TemporaryName(attempt);
    int error = 0;
    fd_ = CreateListed(folder_, name, error);
    if (fd_ >= 0) {
      temporary_ = name;
      break;
    }
    if (error != EEXIST || attempt > 100) {
      close(folder_);
      folder_ = -1;
      throw TIoError::FromErrno(error, path);
    }
  }
  // A replaced file keeps its permissions; a new one gets the usual ones under the umask.
  struct stat info {};
  if ((keepMode && fchmod(fd_, mode) != 0) || fstat(fd_, &info) != 0) {
    int error = errno;
    Release();
    throw TIoError::FromErrno(error, path);
  }
  written_ = TFileId{info.st_dev, info.st_ino};
}

TOutputFile::~TOutputFile() { Release(); }

void TOutputFile::Release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) {
    std::lock_guard guard(InFlight().lock);
    if (!committed_) unlinkat(folder_, temporary_.c_str(), 0);
    InFlight().files.erase({folder_, temporary_});
    temporary_.clear();
  }
  if (folder_ >= 0) close(folder_);
  folder_ = -1;
}

void TOutputFile::Write(const uint8_t* data, std::size_t size) { WriteAll(fd_, data, size, target_); }

void TOutputFile::Finish() {
  if (finished_) return;
  // A file that replaces an earlier one is on the disk before it takes its place: after a crash
  // the target is the old file or the new one, never an empty one. A new file risks nothing.
  if (replacing_ && fsync(fd_) != 0) throw TIoError::FromErrno(errno, target_);
  int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) throw TIoError::FromErrno(errno, target_);
  finished_ = true;
}

void TOutputFile::Commit() {
  Finish();
  if (direct_) {
    committed_ = true;
    return;
  }
  if (CommitHook()) CommitHook()(target_);
  std::string name = std::filesystem::path(target_).filename().string();
  const char* temporary = temporary_.c_str();
  // So that a stop removes the file before it takes its place or not at all.
  std::shared_lock making(InFlight().making);
  if (replace_) {
    if (renameat(folder_, temporary, folder_, name.c_str()) != 0) throw TIoError::FromErrno(errno, target_);
  } else {
    // A file that appeared at the target since the start stays: the rename refuses atomically.
    if (renameat2(folder_, temporary, folder_, name.c_str(), RENAME_NOREPLACE) != 0) {
      int error = errno;
      if (error != EINVAL && error != ENOSYS) throw TIoError::FromErrno(error, target_);
      // A file system without that rename: a hard link is just as atomic.
      if (linkat(folder_, temporary, folder_, name.c_str(), 0) != 0) throw TIoError::FromErrno(errno, target_);
      unlinkat(folder_, temporary, 0);
    }
  }
  committed_ = true;
}

}  // namespace torvane

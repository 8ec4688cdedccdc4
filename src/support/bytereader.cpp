#include "support/bytereader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "support/parallel.h"

namespace torvane {
namespace {

class TReadOnlyFile {
 public:
  // Without blocking, so that a named pipe or a device cannot hold the reader; only regular files
  // are read.
  explicit TReadOnlyFile(const std::string& path)
      : fd_(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)), error_(fd_ < 0 ? errno : 0) {}
  ~TReadOnlyFile() {
    if (fd_ >= 0) close(fd_);
  }
  TReadOnlyFile(const TReadOnlyFile&) = delete;
  TReadOnlyFile& operator=(const TReadOnlyFile&) = delete;

  // True for a regular file; otherwise Error says why it cannot be read.
  bool IsRegular() {
    struct stat info {};
    if (fd_ < 0) return false;
    if (fstat(fd_, &info) != 0) {
      error_ = errno;
      return false;
    }
    if (S_ISREG(info.st_mode)) return true;
    error_ = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  int Error() const { return error_; }
  // Reads up to n bytes; the count read, or -1 on an error.
  ssize_t ReadUpTo(uint8_t* data, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
      ssize_t got = read(fd_, data + done, n - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        error_ = errno;
        return -1;
      }
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
  }
  // Reads up to n bytes from offset on, leaving the file's position alone; the count read, or -1
  // with error set. Two threads may read apart at once.
  ssize_t ReadAt(uint8_t* data, std::size_t n, off_t offset, int& error) const {
    std::size_t done = 0;
    while (done < n) {
      ssize_t got = pread(fd_, data + done, n - done, offset + static_cast<off_t>(done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        error = errno;
        return -1;
      }
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
  }
  int Fd() const { return fd_; }

 private:
  int fd_;
  int error_;
};

// Below this a second thread costs more than it saves.
constexpr std::size_t kParallelReadBytes = std::size_t{4} << 20;

bool Failed(int* error, int value) {
  if (error != nullptr) *error = value;
  return false;
}

}  // namespace

bool LoadFileBytes(const std::string& path, TFileBytes& out, int* error) {
  out = TFileBytes{};
  TReadOnlyFile file(path);
  struct stat info {};
  if (!file.IsRegular()) return Failed(error, file.Error());
  if (fstat(file.Fd(), &info) != 0) return Failed(error, errno);
  std::size_t size = static_cast<std::size_t>(info.st_size);
  std::size_t capacity = size > 0 ? size : 1;
  std::unique_ptr<uint8_t, TLargeRelease> data;
  try {
    data = {static_cast<uint8_t*>(AllocateLarge(capacity)), TLargeRelease{capacity}};
  } catch (const std::bad_alloc&) {
    return Failed(error, ENOMEM);
  }
  // A large file is read in two halves at once: the kernel clears and fills the fresh pages of
  // each on its own core. A file cut meanwhile ends where its first half ends short.
  int firstError = 0, secondError = 0;
  ssize_t first = 0, second = 0;
  std::size_t middle = size;
  if (size < kParallelReadBytes) {
    first = file.ReadAt(data.get(), size, 0, firstError);
  } else {
    middle = size / 2;
    InParallel([&] { first = file.ReadAt(data.get(), middle, 0, firstError); },
               [&] { second = file.ReadAt(data.get() + middle, size - middle, static_cast<off_t>(middle), secondError); });
  }
  if (first < 0) return Failed(error, firstError);
  if (second < 0) return Failed(error, secondError);
  out.data = std::move(data);
  out.size = static_cast<std::size_t>(first) < middle ? static_cast<std::size_t>(first)
                                                      : middle + static_cast<std::size_t>(second);
  return true;
}

bool LoadSmallFile(const std::string& path, std::size_t maxBytes, std::string& out, int* error) {
  out.clear();
  TReadOnlyFile file(path);
  struct stat info {};
  if (!file.IsRegular()) return Failed(error, file.Error());
  if (fstat(file.Fd(), &info) != 0) return Failed(error, errno);
  std::size_t size = static_cast<std::size_t>(info.st_size);
  if (size > maxBytes) return Failed(error, EFBIG);
  // One byte more than the file holds shows its end; a file that grows meanwhile is read on, in
  // steps, until it ends or passes maxBytes.
  constexpr std::size_t kStep = 64 * 1024;
  std::string buffer;
  for (std::size_t want = size + 1;; want = std::min(kStep, maxBytes + 1 - buffer.size())) {
    std::size_t held = buffer.size();
    buffer.resize(held + want);
    ssize_t got = file.ReadUpTo(reinterpret_cast<uint8_t*>(buffer.data() + held), want);
    if (got < 0) return Failed(error, file.Error());
    buffer.resize(held + static_cast<std::size_t>(got));
    if (static_cast<std::size_t>(got) < want) break;
    if (buffer.size() > maxBytes) return Failed(error, EFBIG);
  }
  out = std::move(buffer);
  return true;
}

bool LoadFilePrefix(const std::string& path, std::size_t n, std::string& out, int* error) {
  out.clear();
  TReadOnlyFile file(path);
  if (!file.IsRegular()) return Failed(error, file.Error());
  std::string buffer(n, '\0');
  ssize_t got = file.ReadUpTo(reinterpret_cast<uint8_t*>(buffer.data()), n);
  if (got < 0) return Failed(error, file.Error());
  buffer.resize(static_cast<std::size_t>(got));
  out = std::move(buffer);
  return true;
}

}  // namespace torvane

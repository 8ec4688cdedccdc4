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

// Below this a second thread costs more than it saves.
constexpr std::size_t kParallelReadBytes = std::size_t{4} << 20;

bool Failed(int* error, int value) {
  if (error != nullptr) *error = value;
  return false;
}

}  // namespace

TInputFile::TInputFile(const std::string& path)
    : fd_(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)), error_(fd_ < 0 ? errno : 0) {}

TInputFile::~TInputFile() {
  if (fd_ >= 0) close(fd_);
}

bool TInputFile::IsRegular() {
  if (regular_ >= 0) return regular_ == 1;
  struct stat info {};
  regular_ = 0;
  if (fd_ < 0) return false;
  if (fstat(fd_, &info) != 0) {
    error_ = errno;
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error_ = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  regular_ = 1;
  size_ = static_cast<uint64_t>(info.st_size);
  return true;
}

ssize_t TInputFile::ReadAt(uint8_t* data, std::size_t n, off_t offset, int& error) const {
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

bool ReadWhole(TInputFile& file, TFileBytes& out, int* error) {
  out.size = 0;
  if (!file.IsRegular()) return Failed(error, file.Error());
  std::size_t size = static_cast<std::size_t>(file.Size());
  std::size_t capacity = size > 0 ? size : 1;
  if (!out.data || out.data.get_deleter().capacity < capacity) {
    out.data.reset();
    try {
      out.data = {static_cast<uint8_t*>(AllocateLarge(capacity)), TLargeRelease{capacity}};
    } catch (const std::bad_alloc&) {
      return Failed(error, ENOMEM);
    }
  }
  uint8_t* data = out.data.get();
  // A large file is read in two halves at once: the kernel clears and fills the fresh pages of
  // each on its own core. A file cut meanwhile ends where its first half ends short.
  int firstError = 0, secondError = 0;
  ssize_t first = 0, second = 0;
  std::size_t middle = size;
  if (size < kParallelReadBytes) {
    first = file.ReadAt(data, size, 0, firstError);
  } else {
    middle = size / 2;
    InParallel([&] { first = file.ReadAt(data, middle, 0, firstError); },
               [&] { second = file.ReadAt(data + middle, size - middle, static_cast<off_t>(middle), secondError); });
  }
  if (first < 0) return Failed(error, firstError);
  if (second < 0) return Failed(error, secondError);
  out.size = static_cast<std::size_t>(first) < middle ? static_cast<std::size_t>(first)
                                                      : middle + static_cast<std::size_t>(second);
  return true;
}

bool LoadFileBytes(const std::string& path, TFileBytes& out, int* error) {
  out = TFileBytes{};
  TInputFile file(path);
  return ReadWhole(file, out, error);
}

bool LoadSmallFile(const std::string& path, std::size_t maxBytes, std::string& out, int* error) {
  out.clear();
  TInputFile file(path);
  if (!file.IsRegular()) return Failed(error, file.Error());
  std::size_t size = static_cast<std::size_t>(file.Size());
  if (size > maxBytes) return Failed(error, EFBIG);
  // One byte more than the file holds shows its end; a file that grows meanwhile is read on, in
  // steps, until it ends or passes maxBytes.
  constexpr std::size_t kStep = 64 * 1024;
  std::string buffer;
  for (std::size_t want = size + 1;; want = std::min(kStep, maxBytes + 1 - buffer.size())) {
    std::size_t held = buffer.size();
    buffer.resize(held + want);
    int readError = 0;
    ssize_t got = file.ReadAt(reinterpret_cast<uint8_t*>(buffer.data() + held), want, static_cast<off_t>(held), readError);
    if (got < 0) return Failed(error, readError);
    buffer.resize(held + static_cast<std::size_t>(got));
    if (static_cast<std::size_t>(got) < want) break;
    if (buffer.size() > maxBytes) return Failed(error, EFBIG);
  }
  out = std::move(buffer);
  return true;
}

bool LoadFilePrefix(const std::string& path, std::size_t n, std::string& out, int* error) {
  out.clear();
  TInputFile file(path);
  if (!file.IsRegular()) return Failed(error, file.Error());
  std::string buffer(n, '\0');
  int readError = 0;
  ssize_t got = file.ReadAt(reinterpret_cast<uint8_t*>(buffer.data()), n, 0, readError);
  if (got < 0) return Failed(error, readError);
  buffer.resize(static_cast<std::size_t>(got));
  out = std::move(buffer);
  return true;
}

}  // namespace torvane

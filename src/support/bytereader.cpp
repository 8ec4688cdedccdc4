#include "support/bytereader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "support/parallel.h"

namespace torvane {
namespace {

bool Failed(int* error, int value) {
  if (error != nullptr) *error = value;
  return false;
}

// A large read is taken as two at once: copying from the page cache is most of its time. As one
// read, it ends where the file ends (the first half short) and fails where either half fails.
ssize_t ReadInHalves(const TInputFile& file, uint8_t* data, std::size_t n, off_t offset, int& error) {
  constexpr std::size_t kHalvedBytes = std::size_t{1} << 20;
  if (n < kHalvedBytes) return file.ReadAt(data, n, offset, error);
  const std::size_t half = n / 2;
  ssize_t first = 0, second = 0;
  int firstError = 0, secondError = 0;
  InParallel([&] { first = file.ReadAt(data, half, offset, firstError); },
             [&] { second = file.ReadAt(data + half, n - half, offset + static_cast<off_t>(half), secondError); });
  if (first < 0 || (static_cast<std::size_t>(first) == half && second < 0)) {
    error = first < 0 ? firstError : secondError;
    return -1;
  }
  return static_cast<std::size_t>(first) < half ? first : first + second;
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

bool TFileWindow::Hold(uint64_t offset, std::size_t n, std::span<const uint8_t>& held) {
  if (error_ != 0) return false;
  // What is held from offset on moves to the front: a piece that ended inside the last read.
  std::size_t kept = offset < start_ + held_ ? static_cast<std::size_t>(start_ + held_ - offset) : 0;
  uint8_t* data = memory_.data.get();
  if (kept > 0 && offset > start_) std::memmove(data, data + (offset - start_), kept);
  start_ = offset;
  held_ = kept;
  if (offset > size_) return false;
  // A small file is read whole into memory of its size, a large one a window at a time.
  std::size_t wanted = std::max<std::size_t>(n, static_cast<std::size_t>(std::min<uint64_t>(kWindowBytes, size_ - offset)));
  if (wanted == 0) wanted = 1;
  if (memory_.Capacity() < wanted) {
    try {
      TFileBytes wider{{static_cast<uint8_t*>(AllocateLarge(wanted)), TLargeRelease{wanted}}};
      if (kept > 0) std::memcpy(wider.data.get(), data, kept);
      memory_ = std::move(wider);
    } catch (const std::bad_alloc&) {
      error_ = ENOMEM;
      return false;
    }
    data = memory_.data.get();
  }
  std::size_t room = std::min<uint64_t>(memory_.Capacity() - held_, size_ - (start_ + held_));
  if (room > 0) {
    int readError = 0;
    ssize_t got = ReadInHalves(file_, data + held_, room, static_cast<off_t>(start_ + held_), readError);
    if (got < 0) {
      error_ = readError;
      return false;
    }
    held_ += static_cast<std::size_t>(got);
    // Fewer bytes than the size promised: the file was cut meanwhile and ends here.
    if (static_cast<std::size_t>(got) < room) size_ = start_ + held_;
  }
  held = {data, held_};
  return held_ >= n;
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

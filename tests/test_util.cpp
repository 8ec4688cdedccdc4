#include "test_util.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "support/ioerror.h"

namespace torvane::test {

std::string Hex(std::string_view bytes) {
  std::string text;
  char buffer[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned char>(bytes[i]));
    if (i > 0) text += ' ';
    text += buffer;
  }
  return text;
}

std::string Bytes(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    i += 2;
  }
  return bytes;
}

void TMemorySink::Write(const uint8_t* data, std::size_t size) {
  bytes.append(reinterpret_cast<const char*>(data), size);
}

void TFailingSink::Write(const uint8_t* data, std::size_t size) {
  if (bytes.size() + size > limit) throw TIoError::FromErrno(ENOSPC, "");
  bytes.append(reinterpret_cast<const char*>(data), size);
}

TFileSizeLimit::TFileSizeLimit(rlim_t bytes) {
  previousHandler_ = signal(SIGXFSZ, SIG_IGN);
  ok_ = previousHandler_ != SIG_ERR && getrlimit(RLIMIT_FSIZE, &previous_) == 0;
  rlimit limit = previous_;
  limit.rlim_cur = bytes;
  ok_ = ok_ && setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

TFileSizeLimit::~TFileSizeLimit() {
  setrlimit(RLIMIT_FSIZE, &previous_);
  signal(SIGXFSZ, previousHandler_);
}

TTempDir::TTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "torvane-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace torvane::test

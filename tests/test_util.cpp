#include "test_util.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "cli/messages.h"
#include "support/ioerror.h"

namespace torvane::test {

std::string Why(const TReadFailure& failure) { return ReadFailureText(failure); }

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

int InChild(const std::function<int()>& body, bool asUser, const std::string& errorFile) {
  std::fflush(nullptr);
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (!errorFile.empty()) {
      int fd = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      if (fd < 0 || dup2(fd, STDERR_FILENO) < 0) _exit(120);
    }
    constexpr uid_t kNobody = 65534;
    if (asUser && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
      _exit(121);
    }
    _exit(body());
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

std::vector<std::string> TemporaryFilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    if (name.starts_with(".torvane-")) names.push_back(name);
  }
  return names;
}

TShellRun RunShell(const std::string& command) {
  TShellRun run;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) run.Output += buffer;
  int status = pclose(pipe);
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace torvane::test

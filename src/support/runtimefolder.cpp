#include "support/runtimefolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace torvane {
namespace {

// A folder itself (not a link), owned by this user and closed to everyone else.
bool IsPrivateFolder(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
         (info.st_mode & 077) == 0;
}

}  // namespace

void EnsureRuntimeFolder() {
  const char* session = std::getenv("XDG_RUNTIME_DIR");
  if (session != nullptr && *session != '\0') return;
  std::error_code error;
  std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  if (error) temp = "/tmp";
  std::string folder = (temp / ("torvane-runtime-" + std::to_string(geteuid()))).string();
  // Should neither folder be had, Qt warns and picks its own: the window works either way.
  if (mkdir(folder.c_str(), 0700) == 0) {
    chmod(folder.c_str(), 0700);  // whatever the umask took away
  } else if (errno != EEXIST) {
    return;
  }
  if (!IsPrivateFolder(folder)) {
    folder = (temp / "torvane-runtime-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return;
  }
  setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

}  // namespace torvane

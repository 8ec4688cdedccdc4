#include "support/files.h"

#include <sys/stat.h>

#include <cerrno>

namespace torvane {

bool IsFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsDanglingLink(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && stat(path.c_str(), &info) != 0 &&
         errno == ENOENT;
}

}  // namespace torvane

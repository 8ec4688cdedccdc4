#include "support/files.h"

#include <sys/stat.h>

namespace torvane {

bool IsFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace torvane

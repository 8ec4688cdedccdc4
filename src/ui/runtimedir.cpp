#include "ui/runtimedir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace torvane {

TPrivateRuntimeDir::TPrivateRuntimeDir() {
  const char* session = std::getenv("XDG_RUNTIME_DIR");
  if (session != nullptr && *session != '\0') return;
  std::error_code error;
  std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  std::string folder = ((error ? std::filesystem::path("/tmp") : temp) / "torvane-runtime-XXXXXX").string();
  // mkdtemp makes the folder with mode 0700, as the freedesktop rules ask of a runtime folder.
  // Should it fail, Qt warns and picks its own folder: the window works either way.
  if (mkdtemp(folder.data()) == nullptr) return;
  if (setenv("XDG_RUNTIME_DIR", folder.c_str(), 1) != 0) {
    std::filesystem::remove(folder, error);
    return;
  }
  made_ = folder;
}

TPrivateRuntimeDir::~TPrivateRuntimeDir() {
  if (made_.empty()) return;
  unsetenv("XDG_RUNTIME_DIR");
  std::error_code ignored;
  std::filesystem::remove_all(made_, ignored);
}

}  // namespace torvane

#include "cli/pictureloader.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "convert/outputkinds.h"
#include "render/picturemodule.h"

namespace torvane {
namespace {

bool NamesKindWithoutWriter(const std::vector<std::string>& args) {
  for (const std::string& name : KindsNamedBy(args)) {
    const TOutputKind* kind = FindOutputKind(name);
    if (kind != nullptr && kind->Writer == nullptr) return true;
  }
  return false;
}

// The module as installed beside this program: the way from the program's folder to it is the
// same in the build tree and wherever the package is installed. Empty when the program cannot find
// itself (error says why): a way taken from the working folder instead would load whatever lies there.
std::string ModulePath(int& error) {
  char self[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", self, sizeof self);
  if (length <= 0) {
    error = length < 0 ? errno : ENOENT;
    return "";
  }
  if (static_cast<std::size_t>(length) >= sizeof self || self[0] != '/') {
    error = ENAMETOOLONG;
    return "";
  }
  std::string program(self, static_cast<std::size_t>(length));
  std::string folder = program.substr(0, program.find_last_of('/') + 1);
  return std::filesystem::path(folder + TORVANE_PICTURE_MODULE).lexically_normal().string();
}

}  // namespace

TPictureLoader::~TPictureLoader() {
  if (stop_ != nullptr) stop_(application_);
}

bool TPictureLoader::LoadFor(const std::vector<std::string>& args, int& argc, char** argv, std::string& why) {
  if (!NamesKindWithoutWriter(args)) return true;
  int error = 0;
  std::string path = ModulePath(error);
  if (path.empty()) {
    why = "/proc/self/exe: " + std::string(std::strerror(error));
    return false;
  }
  // Never unloaded: the writers it registered stay in the table until the process ends.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto start = module == nullptr ? nullptr : reinterpret_cast<TStartPictures>(dlsym(module, kStartPicturesSymbol));
  auto stop = module == nullptr ? nullptr : reinterpret_cast<TStopPictures>(dlsym(module, kStopPicturesSymbol));
  if (start == nullptr || stop == nullptr) {
    // The loader's reason names the module.
    const char* reason = dlerror();
    why = reason != nullptr ? reason : path;
    return false;
  }
  application_ = start(argc, argv, args);
  stop_ = stop;
  return true;
}

}  // namespace torvane

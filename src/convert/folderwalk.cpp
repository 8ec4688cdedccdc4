#include "convert/folderwalk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "convert/conversion.h"

namespace torvane {
namespace {

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

struct TDirClose {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

TFolderWalk::TFolderWalk(std::string root) : pendingRoot_(std::move(root)) {}

bool TFolderWalk::Enter(const std::string& path, const std::string& relative, int& error) {
  std::unique_ptr<DIR, TDirClose> dir(opendir(path.c_str()));
  if (!dir) {
    error = errno;
    return false;
  }
  TLevel level{path, relative, {}, 0};
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir.get());
    if (entry == nullptr) break;
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool folder = entry->d_type == DT_DIR;
    bool link = entry->d_type == DT_LNK;
    bool regular = entry->d_type == DT_REG;
    struct stat info {};
    // The system is asked only where the listing does not tell the type, and where a link with
    // a wanted name might lead to a folder.
    if (entry->d_type == DT_UNKNOWN && lstat(Join(path, name).c_str(), &info) == 0) {
      folder = S_ISDIR(info.st_mode);
      link = S_ISLNK(info.st_mode);
      regular = S_ISREG(info.st_mode);
    }
    if (folder) {
      level.names.push_back({std::move(name), true});
      continue;
    }
    if (FileKindOf(name) == TFileKind::None) continue;
    if (link && stat(Join(path, name).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
    level.names.push_back({std::move(name), false, regular});
  }
  if (errno != 0) {
    error = errno;
    return false;
  }
  std::sort(level.names.begin(), level.names.end(), [](const TName& a, const TName& b) { return a.name < b.name; });
  levels_.push_back(std::move(level));
  return true;
}

bool TFolderWalk::Next(TWalkEntry& entry) {
  int error = 0;
  if (!started_) {
    started_ = true;
    if (!Enter(pendingRoot_, "", error)) {
      entry = {pendingRoot_, "", error};
      return true;
    }
    pendingRoot_.clear();
  }
  while (!levels_.empty()) {
    TLevel& level = levels_.back();
    if (level.next == level.names.size()) {
      levels_.pop_back();
      continue;
    }
    TName& name = level.names[level.next++];
    std::string path = Join(level.path, name.name);
    if (!name.folder) {
      entry = {std::move(path), level.relative, 0, name.regular};
      return true;
    }
    std::string relative = Join(level.relative, name.name);
    // level may move when a level is added: nothing of it is used after Enter.
    if (!Enter(path, relative, error)) {
      entry = {std::move(path), std::move(relative), error};
      return true;
    }
  }
  return false;
}

std::size_t CountWalk(const std::string& root) {
  TFolderWalk walk(root);
  TWalkEntry entry;
  std::size_t count = 0;
  while (walk.Next(entry)) ++count;
  return count;
}

}  // namespace torvane

#include "convert/outputguard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "convert/conversion.h"
#include "drawing/jwcunit.h"
#include "shape/jwkunit.h"

namespace torvane {
namespace {

// A character device is a terminal when it says so once opened; opening one does not make it the
// program's controlling terminal, nor wait.
bool IsTerminal(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool terminal = isatty(fd) == 1;
  close(fd);
  return terminal;
}

}  // namespace

void TOutputGuard::AddInput(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return;
  std::lock_guard guard(lock_);
  inputs_.emplace(TFileId{info.st_dev, info.st_ino}, path);
}

void TOutputGuard::AddWritten(const std::string& output) {
  struct stat info {};
  if (stat(output.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  AddWritten(TFileId{info.st_dev, info.st_ino});
}

void TOutputGuard::AddWritten(const TFileId& written) {
  std::lock_guard guard(lock_);
  written_.insert(written);
}

bool TOutputGuard::Known(const TFileId& id, TOutputCheck& check) const {
  std::lock_guard guard(lock_);
  if (auto input = inputs_.find(id); input != inputs_.end()) {
    check.Verdict = TOutputVerdict::Input;
    check.Input = input->second;
    return true;
  }
  if (written_.count(id) != 0) {
    check.Verdict = TOutputVerdict::WrittenByRun;
    return true;
  }
  return false;
}

TOutputCheck TOutputGuard::Check(const std::string& output, TOutputNaming naming, const std::string& input) const {
  TOutputCheck check;
  struct stat entry {};
  if (lstat(output.c_str(), &entry) != 0) return check;
  check.Entry = {true, entry.st_mode};
  struct stat target {};
  bool reached = stat(output.c_str(), &target) == 0;
  if (reached && S_ISDIR(target.st_mode)) {
    check.Verdict = TOutputVerdict::Folder;
    return check;
  }
  if (reached && Known({target.st_dev, target.st_ino}, check)) return check;
  struct stat source {};
  if (reached && stat(input.c_str(), &source) == 0 && source.st_dev == target.st_dev && source.st_ino == target.st_ino) {
    check.Verdict = TOutputVerdict::Input;
    check.Input = input;
    return check;
  }
  if (S_ISLNK(entry.st_mode)) {
    // Files found in folders are not known before they come: a link that leads to a drawing or
    // part, by its name or by its signature (a damaged one has only its name), is never written
    // through. Only a regular file is opened to look: a pipe would wait for a writer.
    std::string resolved = ResolveTarget(output);
    bool regular = reached && S_ISREG(target.st_mode);
    if (FileKindOf(resolved) != TFileKind::None ||
        (regular && (IsJwcFile(resolved) || IsJwkFile(resolved)))) {
      check.Verdict = TOutputVerdict::LinkToDosFile;
      check.Target = resolved;
      return check;
    }
  }
  bool special = reached && !S_ISREG(target.st_mode);
  if (naming == TOutputNaming::Derived || !special) {
    check.Verdict = TOutputVerdict::Existing;
    return check;
  }
  check.Verdict = S_ISCHR(target.st_mode) && IsTerminal(output) ? TOutputVerdict::Terminal : TOutputVerdict::WrittenInto;
  return check;
}

TOutputCheck TOutputGuard::CheckDescriptor(int fd) const {
  TOutputCheck check;
  struct stat info {};
  if (fstat(fd, &info) == 0 && Known({info.st_dev, info.st_ino}, check)) return check;
  check.Verdict = isatty(fd) == 1 ? TOutputVerdict::Terminal : TOutputVerdict::WrittenInto;
  return check;
}

bool SameFileAsDescriptor(const std::string& path, int fd) {
  struct stat named {}, open {};
  return stat(path.c_str(), &named) == 0 && fstat(fd, &open) == 0 && named.st_dev == open.st_dev &&
         named.st_ino == open.st_ino;
}

}  // namespace torvane

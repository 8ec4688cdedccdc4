// Questions about a path that both front ends ask.
#pragma once

#include <string>

namespace torvane {

// True when path names a folder (following links); false for anything else or a path that cannot
// be looked at.
bool IsFolder(const std::string& path);
// True for a symbolic link (or chain of them) that names nothing: writing to it would create a file
// wherever it points.
bool IsDanglingLink(const std::string& path);

}  // namespace torvane

// The files a folder stands for when a whole archive is converted: every drawing and part below
// it, in an order that does not change from run to run.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace torvane {

struct TWalkEntry {
  // The file (or the folder that could not be read), the root's path with the names below it.
  std::string Path;
  // The folder below the root that holds the file, "" for the root itself ("2001/site").
  std::string RelativeFolder;
  // The errno of a folder that could not be read; 0 for a file.
  int Error = 0;
  // The listing showed a regular file (not a link, device or pipe), so that it may be opened
  // without a look first.
  bool Regular = false;
};

// Walks a folder depth-first, the entries of each folder in the byte order of their names, so that
// two runs list the same files in the same order. Yields every file whose name ends in .jwc or
// .jwk in any letter case and passes over everything else silently. Links to folders are never
// followed (no loops); links to files are taken like files. Holds only the listings of the folders
// on the way down, never the whole tree.
class TFolderWalk {
 public:
  explicit TFolderWalk(std::string root);

  // The next file, or a folder that could not be read; false once the walk is over.
  bool Next(TWalkEntry& entry);

 private:
  struct TName {
    std::string name;
    bool folder = false;
    bool regular = false;
  };
  struct TLevel {
    std::string path, relative;
    std::vector<TName> names;
    std::size_t next = 0;
  };
  // Lists the folder into a new level; false (with its errno) when it cannot be read.
  bool Enter(const std::string& path, const std::string& relative, int& error);

  std::vector<TLevel> levels_;
  std::string pendingRoot_;  // the root, until the first Next opens it
  bool started_ = false;
};

// How many entries a walk of root yields: files, and folders that cannot be read.
std::size_t CountWalk(const std::string& root);

}  // namespace torvane

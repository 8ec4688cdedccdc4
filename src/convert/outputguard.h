// The rules an output path must pass before anything is written to it, for every front end: no
// input of the run is replaced, whatever name or link leads to it; no output of the run replaces
// another; no link to a DOS drawing or part is written through; and a device, pipe or socket is
// written into only when the user named that very path. Each front end words the verdict.
#pragma once

#include <sys/types.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "support/outputfile.h"

namespace torvane {

enum class TOutputVerdict {
  New,           // nothing stands at the path
  Existing,      // a file stands there (for a derived path: also a link, device, pipe or socket),
                 // replaced only with the user's yes, and then only the entry, never what it names
  WrittenInto,   // a device, pipe or socket the user named: written into, never replaced
  Folder,        // a folder stands there, or a link leads to one
  Input,         // the path reaches an input of the run (Input names it)
  WrittenByRun,  // the path reaches an output this run wrote
  LinkToDosFile, // a link that leads to a DOS drawing or part (Target names it)
  Terminal,      // a terminal, where a drawing's bytes would act as commands
};

struct TOutputCheck {
  TOutputVerdict Verdict = TOutputVerdict::New;
  // What lstat found at the output's path, for a writer that need not look again.
  TPathEntry Entry;
  std::string Input;   // for Input: the input as it was added
  std::string Target;  // for LinkToDosFile: the file the link leads to
};

// Inputs and outputs known by device and inode, so that every name and link of a file counts.
// Safe to use from several threads at once.
class TOutputGuard {
 public:
  // Add every input (every file loaded, for the window) before the first output is checked.
  void AddInput(const std::string& path);
  // Records an output once it took its place, so that no later output of the run replaces it.
  void AddWritten(const std::string& output);
  // The same for the file written, known by the writer.
  void AddWritten(const TFileId& written);

  // input is the file output is converted from, which counts as an input even when it was found
  // along the way (in a folder walk) rather than added.
  TOutputCheck Check(const std::string& output, TOutputNaming naming, const std::string& input) const;
  // The same for an open descriptor the user named as the output (standard output).
  TOutputCheck CheckDescriptor(int fd) const;

 private:
  // Input or WrittenByRun when the file is one of them.
  bool Known(const TFileId& id, TOutputCheck& check) const;

  mutable std::mutex lock_;
  std::map<TFileId, std::string> inputs_;
  std::set<TFileId> written_;
};

// True when path and the open descriptor are the same file (by device and inode).
bool SameFileAsDescriptor(const std::string& path, int fd);

}  // namespace torvane

// The folder of a session's runtime files (XDG_RUNTIME_DIR), which a desktop login sets and Qt
// asks for. Outside a login (root on a console, a service) it is missing, and Qt would warn on
// every start and fall back to a shared name in /tmp.
#pragma once

#include <string>

namespace torvane {

// While it lives, XDG_RUNTIME_DIR names a folder: the one the session set, else a private one
// (mode 0700) made for this process and removed, with anything in it, at the end.
class TPrivateRuntimeDir {
 public:
  TPrivateRuntimeDir();
  ~TPrivateRuntimeDir();
  TPrivateRuntimeDir(const TPrivateRuntimeDir&) = delete;
  TPrivateRuntimeDir& operator=(const TPrivateRuntimeDir&) = delete;

 private:
  std::string made_;
};

}  // namespace torvane

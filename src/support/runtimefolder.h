// The folder of a session's runtime files (XDG_RUNTIME_DIR), which a desktop login sets and Qt
// asks for. Outside a login (root on a console, a service) it is missing, and Qt would warn on
// every start. Called by the window program and the thumbnailer before Qt starts.
#pragma once

namespace torvane {

// When the session names no runtime folder, names one that only this user may enter:
// "torvane-runtime-<uid>" in the temporary folder, kept from start to start like a session's
// own; should that name be taken by anything else (another user's folder, a link), a fresh one.
void EnsureRuntimeFolder();

}  // namespace torvane

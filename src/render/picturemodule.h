// What the picture module, torvane-convert's picture writers in a library of their own, gives the
// program that loads it. The module resolves the conversion service's functions in that program,
// and so registers its writers in the program's own table of output kinds.
#pragma once

#include <string>
#include <vector>

namespace torvane {

// Registers the picture writers; when the arguments ask for PNG or PDF, also makes the
// QGuiApplication they paint with (on the offscreen platform), answered for TStopPictures to end.
// argc and argv are the program's, and must outlive the application.
using TStartPictures = void* (*)(int& argc, char** argv, const std::vector<std::string>& args);
using TStopPictures = void (*)(void* application);

inline constexpr const char* kStartPicturesSymbol = "torvane_start_pictures";
inline constexpr const char* kStopPicturesSymbol = "torvane_stop_pictures";

}  // namespace torvane

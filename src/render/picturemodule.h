// What the picture module, torvane-convert's picture writers in a library of their own, gives the
// program that loads it. The module resolves the conversion service's functions in that program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/outputkinds.h"

namespace torvane {

// The Qt platform a program paints pictures on without a window: no display, and the fonts that
// fontconfig gives, as the window has them. It sets up a few milliseconds faster than the offscreen
// platform and paints the same pixels.
inline constexpr const char* kPaintingPlatform = "minimal:enable_fonts";

// When the arguments ask for PNG or PDF, makes the QGuiApplication they paint with (the program has
// chosen kPaintingPlatform) and answers it for TStopPictures to end, on the same thread;
// nothing otherwise. argc and argv are the program's, and must outlive the application.
using TStartPictures = void* (*)(int& argc, char** argv, const std::vector<std::string>& args);
using TStopPictures = void (*)(void* application);
// The module's writer of a picture kind ("svg", "png", "pdf"); null for any other.
using TPictureWriterOf = TOutputWriter (*)(std::string_view kind);

inline constexpr const char* kStartPicturesSymbol = "torvane_start_pictures";
inline constexpr const char* kStopPicturesSymbol = "torvane_stop_pictures";
inline constexpr const char* kPictureWriterSymbol = "torvane_picture_writer";

}  // namespace torvane

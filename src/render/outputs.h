// The writers of the picture kinds of output (svg, png, pdf) for the conversion service's table of
// output kinds. PNG and PDF paint with Qt Gui and need a QGuiApplication (the offscreen platform
// will do) before the first is written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/outputkinds.h"

namespace torvane {

// The writer of a picture kind; null for any other name.
TOutputWriter PictureWriter(std::string_view kind);
// Whether the command line's arguments ask for a kind that paints with Qt (png, pdf).
bool ArgumentsPaint(const std::vector<std::string>& args);

}  // namespace torvane

// The picture kinds of output (svg, png, pdf) given their writers in the conversion service's
// table of output kinds. PNG and PDF paint with Qt Gui and need a QGuiApplication (the offscreen
// platform will do) before the first is written.
#pragma once

#include <string>
#include <vector>

namespace torvane {

void RegisterPictureOutputs();
// Whether the command line's arguments ask for a kind that paints with Qt (png, pdf).
bool ArgumentsPaint(const std::vector<std::string>& args);

}  // namespace torvane

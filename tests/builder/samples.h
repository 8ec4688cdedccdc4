// The bundled sample drawing and part, made field by field.
#pragma once

#include <string>

namespace torvane::test {

// A small plan: named layers and groups at scales 1/1 and 1/50, a curve of lines, an arc, a
// circle, an ellipse, real and virtual points and Japanese texts.
std::string SamplePlanJwc();

}  // namespace torvane::test

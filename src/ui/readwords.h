// The window's Japanese words for why a read stopped inside a file.
#pragma once

#include <string>

#include "support/readfailure.h"

namespace torvane {

// Why a read stopped inside a file (not a file that could not be opened), in Japanese.
std::string ReadFailureJapanese(const TReadFailure& failure);

}  // namespace torvane

// The window's Japanese words for why a file cannot be read, or why a read stopped inside it.
#pragma once

#include <string>

#include "support/readfailure.h"

namespace torvane {

// That a file is no drawing, or no part, by its signature.
inline constexpr char kNotDrawing[] = "JW-CAD図面ファイルではありません。";
inline constexpr char kNotPart[] = "JWK部品ファイルではありません。";

// Why a read stopped inside a file (not a file that could not be opened), in Japanese.
std::string ReadFailureJapanese(const TReadFailure& failure);

}  // namespace torvane

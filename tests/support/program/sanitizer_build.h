// Whether the built vindle is a sanitizer build, which no package is made of.
#pragma once

#include <string>

// The sanitizer runtime that `binary` links ("libasan", "libtsan", ...), or
// the empty string for an ordinary build.
std::string sanitizerRuntimeOf(const std::string& binary);

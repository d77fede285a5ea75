// Where the build put vindle and the test tools, and where the source tree
// is. The paths are defined in the one unit that the build writes
// (build_paths.cpp in the build directory), so that no other unit's compile
// command names a folder of the clone and a compiler cache shares them
// between clones in different folders.
#pragma once

namespace buildPaths {
extern const char* const vindleBinary;
extern const char* const toolsDir;
extern const char* const sourceDir;
}  // namespace buildPaths

#define VINDLE_BINARY (buildPaths::vindleBinary)
#define VINDLE_TOOLS_DIR (buildPaths::toolsDir)
#define VINDLE_SOURCE_DIR (buildPaths::sourceDir)

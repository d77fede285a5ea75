#include "support/program/sanitizer_build.h"

#include "support/program/run_program.h"

std::string sanitizerRuntimeOf(const std::string& binary) {
    const ProgramResult dynamic = runProgram("/usr/bin/env", {"readelf", "--dynamic", binary});
    for (const char* runtime : {"libasan", "libtsan", "libubsan", "liblsan", "libmsan"})
        if (dynamic.out.find(std::string("[") + runtime) != std::string::npos) return runtime;
    return "";
}

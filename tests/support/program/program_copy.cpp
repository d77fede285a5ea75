#include "support/program/program_copy.h"

#include <filesystem>

namespace fs = std::filesystem;

ProgramCopy::ProgramCopy(const std::string& program) {
    const fs::path copy = directory.path / fs::path(program).filename();
    fs::copy_file(program, copy);
    const fs::perms everyone = fs::perms::owner_all | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read |
                               fs::perms::others_exec;
    fs::permissions(directory.path, everyone);
    fs::permissions(copy, everyone);
    copyPath = copy.string();
}

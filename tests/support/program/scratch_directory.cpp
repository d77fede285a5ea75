#include "support/program/scratch_directory.h"

#include <stdlib.h>

#include <stdexcept>
#include <string>
#include <system_error>

ScratchDirectory::ScratchDirectory() : ScratchDirectory(std::filesystem::temp_directory_path()) {}

ScratchDirectory::ScratchDirectory(const std::filesystem::path& parent) {
    std::string pattern = (parent / "vindle-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

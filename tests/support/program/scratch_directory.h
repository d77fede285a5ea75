// A fresh directory for one test's files, removed with its contents when the
// test is done with it.
#pragma once

#include <filesystem>

class ScratchDirectory {
  public:
    // A new directory under the temporary directory whose name starts with
    // "vindle-"; throws when none can be made.
    ScratchDirectory();
    // The same under `parent`.
    explicit ScratchDirectory(const std::filesystem::path& parent);
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    std::filesystem::path path;
};

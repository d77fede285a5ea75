// A stream that writes into memory, for output that a test reads back.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

class MemoryStream {
  public:
    MemoryStream();  // throws std::runtime_error when no stream can be opened
    ~MemoryStream();
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    std::FILE* stream() const { return file; }

    // Everything written to the stream so far.
    std::string text();

  private:
    std::FILE* file = nullptr;
    char* buffer = nullptr;
    std::size_t size = 0;
};

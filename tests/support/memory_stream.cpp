#include "support/memory_stream.h"

#include <cstdlib>
#include <stdexcept>

MemoryStream::MemoryStream() : file(open_memstream(&buffer, &size)) {
    if (file == nullptr) throw std::runtime_error("open_memstream failed");
}

MemoryStream::~MemoryStream() {
    std::fclose(file);
    std::free(buffer);
}

std::string MemoryStream::text() {
    std::fflush(file);
    return std::string(buffer, size);
}

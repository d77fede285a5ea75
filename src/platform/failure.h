// Why a run cannot go on: what the layers below the command line report
// when the process table, an argument vector or the terminal cannot be read.
// Thrown up to main, which alone prints the message and ends with status 1.
#pragma once

#include <string>

struct Failure {
    std::string message;
};

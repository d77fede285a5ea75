// Captures what a piece of code writes to standard output (descriptor 1).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

template <typename Body>
std::string captureOutput(Body body) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    body();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// Running the built vindle (or a test tool) as a child process.
#pragma once

#include <string>
#include <vector>

struct ProgramResult {
    std::string out;  // standard output
    std::string err;  // standard error
    int status = -1;  // exit status, or 128 + signal number
};

struct ProgramOptions {
    // Replaces the environment when given; otherwise the test's own is used.
    std::vector<std::string> environment;
    bool replaceEnvironment = false;
    // argv[0]; the program path when empty.
    std::string argv0;
    // Kills the program after this many seconds (reported as 128 + SIGKILL).
    int timeoutSeconds = 60;
};

// Runs `program` with `arguments`, standard input /dev/null, standard output
// and standard error on pipes.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const ProgramOptions& options = {});

// Runs the built vindle.
ProgramResult runVindle(const std::vector<std::string>& arguments,
                        const ProgramOptions& options = {});

// The path of the built vindle and of a test tool.
std::string vindlePath();
std::string toolPath(const std::string& name);

#include "support/program/pty.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

ProgramResult runOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                            TerminalSize size, const std::vector<std::string>& environment,
                            int timeoutSeconds) {
    ProgramOptions options;
    options.environment = environment;
    options.replaceEnvironment = true;
    options.timeoutSeconds = timeoutSeconds;
    options.output = StandardOutput::terminal;
    options.terminalSize = size;
    return runProgram(program, arguments, options);
}

TerminfoDirectory::TerminfoDirectory(const std::string& source) {
    std::string pattern = (fs::temp_directory_path() / "vindle-terminfo-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    directory = pattern;
    const std::string sourcePath = directory + "/descriptions.src";
    std::ofstream(sourcePath) << source;
    const ProgramResult compiled = runProgram("/usr/bin/tic", {"-x", "-o", directory, sourcePath});
    if (compiled.status != 0) {
        std::error_code ignored;
        fs::remove_all(directory, ignored);
        throw std::runtime_error("tic failed: " + compiled.err);
    }
}

TerminfoDirectory::~TerminfoDirectory() {
    std::error_code ignored;
    fs::remove_all(directory, ignored);
}

// A program that runs beside a test, for as long as the test needs it.
//
// Its standard output comes to the test on a pipe, line by line; its
// standard input is /dev/null and its standard error is the test's. The
// destructor kills it (SIGKILL) and reaps it, so that it does not outlive a
// failing test; it also dies with the test process itself
// (PR_SET_PDEATHSIG), so create it on a thread that lives as long as it.
// Only the program is killed, not processes it started: a program that
// starts others must make them die with it (as `unshare --kill-child` does
// for a pid namespace).
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

class BackgroundProgram {
  public:
    // Starts `program` with `arguments`; `argv0` replaces argv[0] when given.
    // Throws std::runtime_error when it cannot be started.
    BackgroundProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& argv0 = "");
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    pid_t pid() const { return child; }

    // The next line of its standard output, without the newline; none when
    // the output ends first or no line comes within `seconds` (a bound for a
    // stuck program, not a measure: allow it generously).
    std::optional<std::string> readLine(double seconds = 30);

    // Kills and reaps it now; returns its wait status. The destructor then
    // does nothing.
    int stop();

  private:
    pid_t child = -1;
    int output = -1;
    std::string pending;
};

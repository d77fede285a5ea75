// Configuring the source tree for the FreeBSD path: the fuzz targets, which
// need the Linux kernel-access layer, are refused with a clear message
// instead of failing to link, and the tests are built without the Linux
// layer's and the Linux-only suites; a system whose pkg-config knows
// no ncursesw builds with the library and headers found directly; and the
// flags that an ncursesw.pc brings reach the terminal unit alone.
// Without GoogleTest, vindle builds with the tests off. These tests run CMake
// (and two builds); they test the source tree, not the build at hand, and
// run in ordinary builds only.
// ctest: slow cost=120 lock=configure_builds
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/program/build_paths.h"
#include "support/program/run_program.h"
#include "support/program/sanitizer_build.h"
#include "support/program/scratch_directory.h"

namespace fs = std::filesystem;

namespace {

const fs::path sourceTree = VINDLE_SOURCE_DIR;
// The builds below go to the test build directory rather than the temporary
// one: at the same place relative to the source tree every time, their
// compiles are the same commands in every clone, which a compiler cache then
// shares (the second check's build shares most of the first one's).
const fs::path buildsDir = VINDLE_TOOLS_DIR;

// Runs cmake, found through PATH, with `arguments`, and the environment
// variables `settings` ("NAME=VALUE") added to the test's own.
ProgramResult cmake(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& settings = {}) {
    std::vector<std::string> words = settings;
    words.push_back("cmake");
    words.insert(words.end(), arguments.begin(), arguments.end());
    ProgramOptions options;
    options.timeoutSeconds = 600;
    return runProgram("/usr/bin/env", words, options);
}

std::string contentsOfFile(const fs::path& path) {
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// What the build compiles: every file it compiles is named in build.ninja.
std::string whatTheBuildCompiles(const fs::path& build) {
    return contentsOfFile(build / "build.ninja");
}

// Configuring for FreeBSD (CMake's name for the target system; the host's
// compiler stands in for FreeBSD's): the fuzz targets, which feed the Linux
// layer's parsers, stop it at once with the option's name, the reason and
// the way out; the unit tests are built, without those of the Linux layer,
// and the whole-program tests with FreeBSD's part of the test support,
// without the files of the Linux-only suites, which ctest lists as skipped
// with what each needs.
TEST(ConfigureTest, FreeBsdRefusesTheFuzzTargetsAndBuildsTheUnitTests) {
    if (!sanitizerRuntimeOf(VINDLE_BINARY).empty()) GTEST_SKIP() << "a sanitizer build";
    {
        ScratchDirectory build;
        ProgramResult result =
            cmake({"-S", sourceTree.string(), "-B", build.path.string(), "-G", "Ninja",
                   "-DCMAKE_SYSTEM_NAME=FreeBSD", "-DVINDLE_BUILD_TESTS=OFF", "-DVINDLE_FUZZ=ON"});
        EXPECT_NE(result.status, 0) << result.out;
        // CMake breaks the message into lines of its own.
        std::string message;
        for (char c : result.err)
            if (c != '\n') message += c;
        EXPECT_NE(message.find("VINDLE_FUZZ cannot be used on FreeBSD"), std::string::npos)
            << result.err;
        EXPECT_NE(message.find("-DVINDLE_FUZZ=OFF"), std::string::npos) << result.err;
    }
    ScratchDirectory build;
    ProgramResult result = cmake({"-S", sourceTree.string(), "-B", build.path.string(), "-G",
                                  "Ninja", "-DCMAKE_SYSTEM_NAME=FreeBSD", "-DVINDLE_BUILD_TESTS=ON",
                                  // As a cross-build does: the host's library is not FreeBSD's.
                                  "-DVINDLE_GTEST_SOURCE_DIR=/usr/src/googletest"});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    const std::string ninja = whatTheBuildCompiles(build.path);
    EXPECT_NE(ninja.find("platform/freebsd/kernel_process_test.cpp"), std::string::npos);
    EXPECT_NE(ninja.find("process/process_table_test.cpp"), std::string::npos);
    EXPECT_EQ(ninja.find("platform/linux/"), std::string::npos);
    EXPECT_EQ(ninja.find("snapshot_linux_test.cpp"), std::string::npos);
    EXPECT_NE(ninja.find("vindle_program_tests"), std::string::npos);
    EXPECT_NE(ninja.find("tests/support/system/freebsd/process_state.cpp"), std::string::npos);
    EXPECT_NE(ninja.find("tests/tools/spawn_tree.cpp"), std::string::npos);
    for (const char* linuxOnly : {"support/system/linux/", "tools/linux/",
                                  "support/proc_fixture.cpp", ".dir/program/linux/"})
        EXPECT_EQ(ninja.find(linuxOnly), std::string::npos) << linuxOnly;
    std::ifstream testsFile(build.path / "tests/CTestTestfile.cmake");
    const std::string tests((std::istreambuf_iterator<char>(testsFile)),
                            std::istreambuf_iterator<char>());
    EXPECT_NE(tests.find("NamespaceTest skipped: it needs Linux: pid, mount"), std::string::npos)
        << tests;
    EXPECT_NE(tests.find("HostileNamespaceTest skipped: it needs Linux"), std::string::npos);
}

// Without GoogleTest: a plain configure builds vindle with the tests off,
// and one that asks for the tests stops at once, naming the package and the
// switch.
TEST(ConfigureTest, WithoutGoogleTestTheTestsAreOffOrAskedForByName) {
    if (!sanitizerRuntimeOf(VINDLE_BINARY).empty()) GTEST_SKIP() << "a sanitizer build";
    const std::string noGoogleTest = "-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON";
    {
        ScratchDirectory build;
        ProgramResult result = cmake(
            {"-S", sourceTree.string(), "-B", build.path.string(), "-G", "Ninja", noGoogleTest});
        EXPECT_EQ(result.status, 0) << result.out << result.err;
        EXPECT_FALSE(fs::exists(build.path / "tests")) << "the tests were configured";
        EXPECT_NE(whatTheBuildCompiles(build.path).find("src/cli/main.cpp"), std::string::npos);
    }
    ScratchDirectory build;
    ProgramResult result = cmake({"-S", sourceTree.string(), "-B", build.path.string(), "-G",
                                  "Ninja", "-DVINDLE_BUILD_TESTS=ON", noGoogleTest});
    EXPECT_NE(result.status, 0) << result.out;
    std::string message;
    for (char c : result.err)
        if (c != '\n') message += c;
    EXPECT_NE(message.find("libgtest-dev"), std::string::npos) << result.err;
    EXPECT_NE(message.find("-DVINDLE_BUILD_TESTS=OFF"), std::string::npos) << result.err;
}

// A pkg-config that knows every module but ncursesw, as on FreeBSD's base
// system: the build finds libncursesw and <term.h> itself, links, and the
// program runs. Unoptimised, which builds fastest.
TEST(ConfigureTest, FindsNcurseswWithoutPkgConfig) {
    if (!sanitizerRuntimeOf(VINDLE_BINARY).empty()) GTEST_SKIP() << "a sanitizer build";
    ScratchDirectory scratch(buildsDir);
    const fs::path wrapper = scratch.path / "pkg-config";
    {
        std::ofstream script(wrapper);
        script << "#!/bin/sh\n"
                  "for argument; do\n"
                  "    case $argument in ncursesw*) exit 1 ;; esac\n"
                  "done\n"
                  "exec pkg-config \"$@\"\n";
    }
    fs::permissions(wrapper, fs::perms::owner_all);
    const fs::path build = scratch.path / "build";
    ProgramResult configure = cmake({"-S", sourceTree.string(), "-B", build.string(), "-G", "Ninja",
                                     "-DVINDLE_BUILD_TESTS=OFF", "-DCMAKE_BUILD_TYPE=Debug",
                                     "-DPKG_CONFIG_EXECUTABLE=" + wrapper.string()});
    ASSERT_EQ(configure.status, 0) << configure.out << configure.err;
    EXPECT_NE(configure.out.find("ncursesw without pkg-config"), std::string::npos)
        << configure.out;

    ProgramResult compile = cmake({"--build", build.string(), "--target", "vindle"});
    ASSERT_EQ(compile.status, 0) << compile.out << compile.err;
    const std::string binary = (build / "vindle").string();
    EXPECT_EQ(runProgram(binary, {"-Vs"}).out, runVindle({"-Vs"}).out);
    // This test's only child is that vindle.
    ProgramResult tree = runProgram(binary, {"-p", std::to_string(getpid())});
    EXPECT_EQ(tree.status, 0) << tree.err;
    EXPECT_NE(tree.out.find("---vindle("), std::string::npos) << tree.out;
}

// An ncursesw.pc whose Cflags carry feature-test macros, as Debian's and the
// FreeBSD port's do: under _XOPEN_SOURCE FreeBSD's headers hide the BSD
// types that <kvm.h> needs, so the flags must reach the one unit that
// includes <curses.h> and <term.h>, and no other. The build still links
// (the library comes through to the program) and the program runs.
TEST(ConfigureTest, NcurseswFlagsReachTheTerminalUnitAlone) {
    if (!sanitizerRuntimeOf(VINDLE_BINARY).empty()) GTEST_SKIP() << "a sanitizer build";
    ScratchDirectory scratch(buildsDir);
    {
        std::ofstream pc(scratch.path / "ncursesw.pc");
        pc << "Name: ncursesw\n"
              "Description: ncurses with wide characters, made by the test\n"
              "Version: 6.99\n"
              "Libs: -lncursesw\n"
              "Cflags: -D_DEFAULT_SOURCE -D_XOPEN_SOURCE=600\n";
    }
    const fs::path build = scratch.path / "build";
    ProgramResult configure = cmake({"-S", sourceTree.string(), "-B", build.string(), "-G", "Ninja",
                                     "-DVINDLE_BUILD_TESTS=OFF", "-DCMAKE_BUILD_TYPE=Debug"},
                                    {"PKG_CONFIG_PATH=" + scratch.path.string()});
    ASSERT_EQ(configure.status, 0) << configure.out << configure.err;
    ASSERT_NE(configure.out.find("Found ncursesw, version 6.99"), std::string::npos)
        << configure.out;

    // compile_commands.json: one line per compile command.
    std::ifstream commands(build / "compile_commands.json");
    ASSERT_TRUE(commands) << "no compile_commands.json";
    std::vector<std::string> withFlags;
    int units = 0;
    for (std::string line; std::getline(commands, line);) {
        if (line.find("\"command\":") == std::string::npos) continue;
        ++units;
        if (line.find("-D_XOPEN_SOURCE=600") != std::string::npos) withFlags.push_back(line);
    }
    EXPECT_GT(units, 10);
    ASSERT_EQ(withFlags.size(), 1u) << "ncursesw's flags reach " << withFlags.size() << " units";
    EXPECT_NE(withFlags[0].find("src/render/terminal.cpp"), std::string::npos) << withFlags[0];

    ProgramResult compile = cmake({"--build", build.string(), "--target", "vindle"});
    ASSERT_EQ(compile.status, 0) << compile.out << compile.err;
    EXPECT_EQ(runProgram((build / "vindle").string(), {"-Vs"}).out, runVindle({"-Vs"}).out);
}

}  // namespace

// Installing the built tree: `cmake --install` under a prefix and DESTDIR,
// and the Debian package made by cpack, unpacked into a scratch root.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

const fs::path sourceDir = VINDLE_SOURCE_DIR;
const fs::path buildDir = fs::path(VINDLE_BINARY).parent_path();

// A fresh directory under the temporary directory, removed with its
// contents at the end of the test.
class ScratchDirectory {
  public:
    ScratchDirectory() {
        std::string pattern = (fs::temp_directory_path() / "vindle-install-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    fs::path path;
};

// Runs a program found through PATH, with `extra` added to the environment.
ProgramResult runCommand(const std::vector<std::string>& words,
                         const std::vector<std::string>& extra = {}) {
    ProgramOptions options;
    options.replaceEnvironment = true;
    for (char** entry = environ; *entry != nullptr; ++entry)
        options.environment.emplace_back(*entry);
    options.environment.insert(options.environment.end(), extra.begin(), extra.end());
    options.timeoutSeconds = 120;
    return runProgram("/usr/bin/env", words, options);
}

std::string contentsOf(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

std::vector<std::string> regularFilesBelow(const fs::path& root) {
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), root).string());
    std::sort(files.begin(), files.end());
    return files;
}

bool isExecutable(const fs::path& file) { return access(file.c_str(), X_OK) == 0; }

// The name of the running test program, as the kernel reports it.
std::string ownCommandName() {
    std::string name = contentsOf("/proc/self/comm");
    if (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
}

// Checks an installed tree below `prefix`: the three files, copies of the
// built binary's behaviour and of the sources.
void expectInstalledTree(const fs::path& prefix) {
    const fs::path binary = prefix / "bin/vindle";
    const fs::path manualPage = prefix / "share/man/man1/vindle.1";
    const fs::path completion = prefix / "share/bash-completion/completions/vindle";
    EXPECT_TRUE(isExecutable(binary)) << binary;
    EXPECT_EQ(contentsOf(manualPage), contentsOf(sourceDir / "man/vindle.1")) << manualPage;
    EXPECT_EQ(contentsOf(completion), contentsOf(sourceDir / "completion/vindle.bash"))
        << completion;

    // -V takes no separate word: "-V s" prints the long version line, with
    // the system's name, and never looks at the "s".
    ProgramResult version = runProgram(binary.string(), {"-V", "s"});
    EXPECT_EQ(version.out, runVindle({"-V", "s"}).out);
    EXPECT_EQ(version.status, 0);
    std::string shortForm = runVindle({"-Vs"}).out;
    ASSERT_FALSE(shortForm.empty());
    shortForm.pop_back();
    EXPECT_EQ(version.out.rfind(shortForm + " - ", 0), 0u) << version.out;

    // On a pipe: ASCII drawing, no width limit. This test's only child is
    // the installed vindle itself.
    ProgramResult tree = runProgram(binary.string(), {"--pid=" + std::to_string(getpid())});
    EXPECT_EQ(tree.out, ownCommandName() + "---vindle\n");
    EXPECT_EQ(tree.err, "");
    EXPECT_EQ(tree.status, 0);
}

TEST(InstallTest, InstallsUnderThePrefixBelowDestdir) {
    ScratchDirectory destdir;
    const std::string prefix = "/opt/vindle-test";
    ProgramResult install =
        runCommand({"cmake", "--install", buildDir.string(), "--prefix", prefix},
                   {"DESTDIR=" + destdir.path.string()});
    ASSERT_EQ(install.status, 0) << install.out << install.err;

    const std::vector<std::string> expected = {
        "opt/vindle-test/bin/vindle",
        "opt/vindle-test/share/bash-completion/completions/vindle",
        "opt/vindle-test/share/man/man1/vindle.1",
    };
    EXPECT_EQ(regularFilesBelow(destdir.path), expected);
    expectInstalledTree(destdir.path / "opt/vindle-test");
}

// The value of one field of the package's control file.
std::string controlField(const fs::path& package, const std::string& field) {
    ProgramResult result = runCommand({"dpkg-deb", "--field", package.string(), field});
    EXPECT_EQ(result.status, 0) << result.err;
    std::string value = result.out;
    while (!value.empty() && value.back() == '\n') value.pop_back();
    return value;
}

// The package names of a Depends field: "libc6 (>= 2.34), libbsd0" gives
// libc6 and libbsd0.
std::set<std::string> dependencyNames(const std::string& depends) {
    std::set<std::string> names;
    std::istringstream stream(depends);
    for (std::string item; std::getline(stream, item, ',');) {
        std::istringstream words(item);
        std::string name;
        words >> name;
        if (!name.empty()) names.insert(name);
    }
    return names;
}

// The Debian package of every shared library that the built binary needs:
// the package of the machine's own architecture that holds a file of that
// name ("libbsd0:amd64: /usr/lib/x86_64-linux-gnu/libbsd.so.0"), not one of
// the 32-bit copies.
std::set<std::string> packagesOfNeededLibraries() {
    ProgramResult architecture = runCommand({"dpkg", "--print-architecture"});
    EXPECT_EQ(architecture.status, 0) << architecture.err;
    const std::string qualifier =
        ":" + architecture.out.substr(0, architecture.out.find('\n')) + ": ";
    ProgramResult dynamic = runCommand({"readelf", "--dynamic", VINDLE_BINARY});
    EXPECT_EQ(dynamic.status, 0) << dynamic.err;
    std::set<std::string> packages;
    std::istringstream lines(dynamic.out);
    for (std::string line; std::getline(lines, line);) {
        const std::string marker = "Shared library: [";
        std::size_t open = line.find(marker);
        if (open == std::string::npos) continue;
        open += marker.size();
        const std::string library = line.substr(open, line.find(']', open) - open);
        ProgramResult owners = runCommand({"dpkg", "--search", "*/" + library});
        std::istringstream ownerLines(owners.out);
        std::string package;
        for (std::string owner; std::getline(ownerLines, owner);) {
            std::size_t at = owner.find(qualifier);
            if (at != std::string::npos && owner.find("/" + library) != std::string::npos)
                package = owner.substr(0, at);
        }
        EXPECT_FALSE(package.empty()) << library << ":\n" << owners.out << owners.err;
        if (!package.empty()) packages.insert(package);
    }
    return packages;
}

TEST(PackageTest, DebianPackageHoldsTheToolItsLibrariesAndItsDocumentation) {
    ScratchDirectory scratch;
    ProgramResult pack =
        runCommand({"cpack", "-G", "DEB", "--config", (buildDir / "CPackConfig.cmake").string(),
                    "-B", (scratch.path / "out").string()});
    ASSERT_EQ(pack.status, 0) << pack.out << pack.err;

    fs::path package;
    for (const fs::directory_entry& entry : fs::directory_iterator(scratch.path / "out"))
        if (entry.path().extension() == ".deb") package = entry.path();
    ASSERT_FALSE(package.empty()) << pack.out;

    EXPECT_EQ(controlField(package, "Package"), "vindle");
    EXPECT_EQ("vindle " + controlField(package, "Version") + "\n", runVindle({"-Vs"}).out);
    EXPECT_EQ(controlField(package, "Section"), "utils");
    EXPECT_NE(controlField(package, "Maintainer").find('@'), std::string::npos);
    EXPECT_FALSE(controlField(package, "Description").empty());
    const std::set<std::string> depends = dependencyNames(controlField(package, "Depends"));
    const std::set<std::string> needed = packagesOfNeededLibraries();
    ASSERT_FALSE(needed.empty());
    for (const std::string& name : needed)
        EXPECT_TRUE(depends.count(name) == 1) << name << " is missing from Depends";

    const fs::path root = scratch.path / "root";
    ProgramResult extract = runCommand({"dpkg-deb", "-x", package.string(), root.string()});
    ASSERT_EQ(extract.status, 0) << extract.err;
    const std::vector<std::string> expected = {
        "usr/bin/vindle",
        "usr/share/bash-completion/completions/vindle",
        "usr/share/man/man1/vindle.1",
    };
    EXPECT_EQ(regularFilesBelow(root), expected);
    expectInstalledTree(root / "usr");
}

}  // namespace

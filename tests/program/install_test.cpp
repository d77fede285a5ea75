// Installing the built tree: `cmake --install` under a prefix and DESTDIR;
// the Debian package made by cpack and the one that dpkg-buildpackage makes
// from debian/, each unpacked into a scratch root, checked by lintian and
// for the hardening of its binary, and compared with each other (on Debian).
// ctest: slow cost=200
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/program/build_paths.h"
#include "support/program/run_program.h"
#include "support/program/sanitizer_build.h"
#include "support/program/scratch_directory.h"
#include "support/system/process_state.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

const fs::path sourceDir = VINDLE_SOURCE_DIR;
const fs::path buildDir = fs::path(VINDLE_BINARY).parent_path();

// Runs a program found through PATH, with `extra` added to the environment.
ProgramResult runTool(const std::vector<std::string>& words,
                      const std::vector<std::string>& extra = {}) {
    ProgramOptions options;
    options.replaceEnvironment = true;
    for (char** entry = environ; *entry != nullptr; ++entry)
        options.environment.emplace_back(*entry);
    options.environment.insert(options.environment.end(), extra.begin(), extra.end());
    options.timeoutSeconds = 300;
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
    const std::optional<ProcessState> own = processState(getpid());
    return own ? own->name : std::string();
}

// The text of a gzipped file.
std::string gunzipped(const fs::path& file) {
    ProgramResult result = runTool({"gzip", "-dc", file.string()});
    EXPECT_EQ(result.status, 0) << file << ": " << result.err;
    return result.out;
}

// The files that an installation under `prefix` holds, relative to the root
// it is unpacked or installed into; the zsh completion goes to `zshDir`.
std::vector<std::string> installedFiles(const std::string& prefix, const std::string& zshDir) {
    std::vector<std::string> files = {
        prefix + "/bin/vindle",
        prefix + "/share/bash-completion/completions/vindle",
        prefix + "/share/doc/vindle/changelog.gz",
        prefix + "/share/doc/vindle/copyright",
        prefix + "/share/fish/vendor_completions.d/vindle.fish",
        prefix + "/share/man/man1/vindle.1.gz",
        prefix + "/share/zsh/" + zshDir + "/_vindle",
    };
    std::sort(files.begin(), files.end());
    return files;
}

// Checks an installed tree below `prefix`: the documents and completions are
// the project's own, and the binary behaves as the built one.
void expectInstalledTree(const fs::path& prefix, const std::string& zshDir) {
    const fs::path binary = prefix / "bin/vindle";
    EXPECT_TRUE(isExecutable(binary)) << binary;
    EXPECT_EQ(gunzipped(prefix / "share/man/man1/vindle.1.gz"),
              contentsOf(buildDir / "man/vindle.1"));
    EXPECT_EQ(contentsOf(prefix / "share/bash-completion/completions/vindle"),
              contentsOf(sourceDir / "completion/vindle.bash"));
    EXPECT_EQ(contentsOf(prefix / "share/zsh" / zshDir / "_vindle"),
              contentsOf(sourceDir / "completion/_vindle"));
    EXPECT_EQ(contentsOf(prefix / "share/fish/vendor_completions.d/vindle.fish"),
              contentsOf(sourceDir / "completion/vindle.fish"));
    EXPECT_EQ(contentsOf(prefix / "share/doc/vindle/copyright"),
              contentsOf(sourceDir / "debian/copyright"));
    EXPECT_EQ(gunzipped(prefix / "share/doc/vindle/changelog.gz"),
              contentsOf(sourceDir / "debian/changelog"));

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

// zsh looks for the completions of packages under /usr in vendor-completions
// on Debian, and in site-functions everywhere else.
const std::string usrZshDir =
    fs::exists("/etc/debian_version") ? "vendor-completions" : "site-functions";

TEST(InstallTest, InstallsUnderThePrefixBelowDestdir) {
    for (const auto& [prefix, zshDir] :
         {std::pair<std::string, std::string>{"/opt/vindle-test", "site-functions"},
          {"/usr", usrZshDir}}) {
        ScratchDirectory destdir;
        ProgramResult install =
            runTool({"cmake", "--install", buildDir.string(), "--prefix", prefix},
                    {"DESTDIR=" + destdir.path.string()});
        ASSERT_EQ(install.status, 0) << install.out << install.err;
        EXPECT_EQ(regularFilesBelow(destdir.path), installedFiles(prefix.substr(1), zshDir));
        expectInstalledTree(destdir.path / prefix.substr(1), zshDir);
    }
}

// The value of one field of the package's control file.
std::string controlField(const fs::path& package, const std::string& field) {
    ProgramResult result = runTool({"dpkg-deb", "--field", package.string(), field});
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
    ProgramResult architecture = runTool({"dpkg", "--print-architecture"});
    EXPECT_EQ(architecture.status, 0) << architecture.err;
    const std::string qualifier =
        ":" + architecture.out.substr(0, architecture.out.find('\n')) + ": ";
    ProgramResult dynamic = runTool({"readelf", "--dynamic", VINDLE_BINARY});
    EXPECT_EQ(dynamic.status, 0) << dynamic.err;
    std::set<std::string> packages;
    std::istringstream lines(dynamic.out);
    for (std::string line; std::getline(lines, line);) {
        const std::string marker = "Shared library: [";
        std::size_t open = line.find(marker);
        if (open == std::string::npos) continue;
        open += marker.size();
        const std::string library = line.substr(open, line.find(']', open) - open);
        ProgramResult owners = runTool({"dpkg", "--search", "*/" + library});
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

// The one .deb named vindle_* in `directory`.
fs::path packageIn(const fs::path& directory) {
    fs::path package;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("vindle_", 0) == 0 && entry.path().extension() == ".deb")
            package = entry.path();
    }
    return package;
}

// lintian's findings on `package`: every line that reports an error or a
// warning (its notes as root aside).
std::vector<std::string> lintianComplaints(const fs::path& package) {
    ProgramResult lintian = runTool({"lintian", "--fail-on", "none", package.string()});
    EXPECT_EQ(lintian.status, 0) << lintian.err;
    std::vector<std::string> complaints;
    std::istringstream lines(lintian.out + lintian.err);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0) complaints.push_back(line);
    return complaints;
}

// The hardening features of `binary` that hardening-check does not find,
// of those that Debian's build flags give.
std::vector<std::string> missingHardening(const fs::path& binary) {
    ProgramResult check = runTool({"hardening-check", binary.string()});
    EXPECT_NE(check.out.find("Position Independent Executable"), std::string::npos)
        << check.out << check.err;
    std::vector<std::string> missing;
    for (const char* feature :
         {"Position Independent Executable", "Stack protected", "Fortify Source functions",
          "Read-only relocations", "Immediate binding"}) {
        const std::size_t at = check.out.find(std::string(" ") + feature + ": ");
        if (at == std::string::npos ||
            check.out.compare(at + std::strlen(feature) + 3, 3, "yes") != 0)
            missing.push_back(feature);
    }
    return missing;
}

// What a package holds: its control fields that do not depend on how it was
// built, the package names of its dependencies, and its files.
struct PackageContents {
    std::map<std::string, std::string> fields;
    std::set<std::string> depends;
    std::vector<std::string> files;
};

PackageContents contentsOfPackage(const fs::path& package, const fs::path& root) {
    PackageContents contents;
    for (const char* field :
         {"Package", "Version", "Architecture", "Section", "Priority", "Maintainer", "Description"})
        contents.fields[field] = controlField(package, field);
    contents.depends = dependencyNames(controlField(package, "Depends"));
    ProgramResult extract = runTool({"dpkg-deb", "-x", package.string(), root.string()});
    EXPECT_EQ(extract.status, 0) << extract.err;
    contents.files = regularFilesBelow(root);
    return contents;
}

// Checks a package: its fields, its dependencies on the libraries that the
// built binary needs, its files, lintian's verdict and the hardening of its
// binary.
PackageContents expectGoodPackage(const fs::path& package, const fs::path& root) {
    const PackageContents contents = contentsOfPackage(package, root);
    EXPECT_EQ(contents.fields.at("Package"), "vindle");
    EXPECT_EQ("vindle " + contents.fields.at("Version") + "\n", runVindle({"-Vs"}).out);
    EXPECT_EQ(contents.fields.at("Section"), "utils");
    const std::string maintainer = contents.fields.at("Maintainer");
    EXPECT_NE(maintainer.find('@'), std::string::npos) << maintainer;
    for (const char* placeholder : {"example.org", "example.com", "example.net", "localhost"})
        EXPECT_EQ(maintainer.find(placeholder), std::string::npos) << maintainer;
    EXPECT_FALSE(contents.fields.at("Description").empty());
    const std::set<std::string> needed = packagesOfNeededLibraries();
    EXPECT_FALSE(needed.empty());
    for (const std::string& name : needed)
        EXPECT_TRUE(contents.depends.count(name) == 1) << name << " is missing from Depends";
    // The C++ runtime comes from its shared library, not copied into vindle.
    EXPECT_EQ(contents.depends.count("libstdc++6"), 1u);

    EXPECT_EQ(contents.files, installedFiles("usr", usrZshDir));
    expectInstalledTree(root / "usr", usrZshDir);
    const std::vector<std::string> complaints = lintianComplaints(package);
    EXPECT_TRUE(complaints.empty()) << testing::PrintToString(complaints);
    const std::vector<std::string> missing = missingHardening(root / "usr/bin/vindle");
    EXPECT_TRUE(missing.empty()) << testing::PrintToString(missing);
    return contents;
}

// Packages are made of release builds: a sanitizer build's binary links the
// sanitizer's runtime and is built without the hardening flags.
std::string sanitizerBuild() { return sanitizerRuntimeOf(VINDLE_BINARY); }

// Why the Debian package cannot be made and checked here, or "".
std::string packagingUnavailable() {
    if (!fs::exists("/etc/debian_version"))
        return "it needs a Debian system: cpack's DEB generator, dpkg-buildpackage, dpkg-deb, "
               "lintian";
    if (!sanitizerBuild().empty()) return "no package of a " + sanitizerBuild() + " build";
    return "";
}

PackageContents cpackPackage(const fs::path& scratch) {
    ProgramResult pack =
        runTool({"cpack", "-G", "DEB", "--config", (buildDir / "CPackConfig.cmake").string(), "-B",
                 (scratch / "out").string()});
    EXPECT_EQ(pack.status, 0) << pack.out << pack.err;
    const fs::path package = packageIn(scratch / "out");
    EXPECT_FALSE(package.empty()) << pack.out;
    if (package.empty()) return {};
    return expectGoodPackage(package, scratch / "root");
}

TEST(PackageTest, CpackMakesACleanHardenedDebianPackage) {
    if (const std::string reason = packagingUnavailable(); !reason.empty()) GTEST_SKIP() << reason;
    ScratchDirectory scratch;
    cpackPackage(scratch.path);
}

// A copy of the source tree without build directories, for building in.
void copySourceTree(const fs::path& target) {
    fs::create_directories(target);
    for (const fs::directory_entry& entry : fs::directory_iterator(sourceDir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("build", 0) == 0 || name.rfind("obj-", 0) == 0 || name == ".git") continue;
        fs::copy(entry.path(), target / name,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }
}

// dpkg-buildpackage builds the binary package from debian/ in a copy of the
// source tree, as on a distribution's build machine; the package is clean
// and holds what the cpack package holds.
TEST(PackageTest, DpkgBuildpackageMakesTheSamePackage) {
    if (const std::string reason = packagingUnavailable(); !reason.empty()) GTEST_SKIP() << reason;
    ScratchDirectory scratch;
    const fs::path tree = scratch.path / "vindle";
    copySourceTree(tree);
    ProgramOptions options;
    options.timeoutSeconds = 900;
    // Not the make that runs this test: its job server and flags stay out.
    // Two jobs, as on the machines this runs on.
    ProgramResult build = runProgram("/bin/sh",
                                     {"-c",
                                      "cd \"$1\" && exec env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL"
                                      " DEB_BUILD_OPTIONS=parallel=2 dpkg-buildpackage -us -uc -b",
                                      "sh", tree.string()},
                                     options);
    ASSERT_EQ(build.status, 0) << build.out << build.err;
    const fs::path package = packageIn(scratch.path);
    ASSERT_FALSE(package.empty()) << build.out;
    const PackageContents built = expectGoodPackage(package, scratch.path / "root");

    ScratchDirectory cpackScratch;
    const PackageContents packed = cpackPackage(cpackScratch.path);
    EXPECT_EQ(built.fields, packed.fields);
    EXPECT_EQ(built.depends, packed.depends);
    EXPECT_EQ(built.files, packed.files);
}

}  // namespace

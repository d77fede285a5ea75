#include "support/system/command_name.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "support/system/process_state.h"

// FreeBSD names a process after the last component of the path it was
// exec'd through, and a name never changes after that. A tree's process
// named NAME therefore runs the tool through TOOL.names/NAME, a hard link
// to it (a copy where no link can be made), made once and made again when
// the tool was rebuilt since.

bool takeCommandName(const std::string& name) {
    const std::optional<ProcessState> own = processState(getpid());
    if (own && own->name == name) return true;
    errno = EINVAL;
    return false;
}

namespace {

bool sameFile(const std::string& one, const std::string& other) {
    struct stat first {};
    struct stat second {};
    return stat(one.c_str(), &first) == 0 && stat(other.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

std::string imageNamed(const std::string& tool, const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        throw std::invalid_argument("process tree: \"" + name +
                                    "\" cannot be a command name here: it is not a file name");
    const std::string directory = tool + ".names";
    const std::string image = directory + "/" + name;
    if (sameFile(tool, image)) return image;
    if (mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST)
        throw std::runtime_error("process tree: cannot make " + directory);
    // Made beside the image and renamed over it, so that a test running at
    // the same time never sees it half made.
    const std::string fresh = directory + "/.new-" + std::to_string(getpid());
    unlink(fresh.c_str());
    if (link(tool.c_str(), fresh.c_str()) != 0) {
        std::error_code error;
        std::filesystem::copy_file(tool, fresh, error);
        if (error) throw std::runtime_error("process tree: cannot make " + image);
    }
    if (rename(fresh.c_str(), image.c_str()) != 0) {
        unlink(fresh.c_str());
        throw std::runtime_error("process tree: cannot make " + image);
    }
    return image;
}

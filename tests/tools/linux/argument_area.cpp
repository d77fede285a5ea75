// argument_area: a process whose argument memory is a mapping of MIB
// mebibytes that it never touches but for the WORDs at its start, as a
// process may make it where the kernel lets it move its argument memory
// (prctl PR_SET_MM_MAP, which any process may call where the kernel has
// checkpoint/restore); it then sleeps until it is killed.
//
//     argument_area MIB WORD...
//
// /proc/PID/cmdline then reads the words and NULs up to MIB mebibytes, which
// cost the process nothing until they are read. Once /proc/self/cmdline
// starts with the words it prints "ready" on standard output. When the
// kernel does not let it move its argument memory it says why on standard
// error and exits 2; on any other failure, 1.
#include <fcntl.h>
#include <linux/prctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The fields of /proc/self/stat, from the state on (field 3), as numbers.
std::vector<unsigned long long> ownStatFields() {
    std::ifstream file("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string state;
    rest >> state;
    std::vector<unsigned long long> fields{0};  // the state, as no number
    unsigned long long value = 0;
    while (rest >> value) fields.push_back(value);
    return fields;
}

// Points the argument memory at [start, end) with PR_SET_MM_MAP, which
// takes no privilege where the kernel has checkpoint/restore: every other
// member of the map is the process's own, as /proc/self/stat gives it.
bool moveArguments(unsigned long start, unsigned long end) {
    const std::vector<unsigned long long> stat = ownStatFields();
    auto field = [&](std::size_t number) {
        return number - 3 < stat.size() ? stat[number - 3] : 0;
    };
    prctl_mm_map map{};
    map.start_code = field(26);
    map.end_code = field(27);
    map.start_stack = field(28);
    map.start_data = field(45);
    map.end_data = field(46);
    map.start_brk = field(47);
    map.brk = reinterpret_cast<unsigned long>(sbrk(0));
    map.arg_start = start;
    map.arg_end = end;
    map.env_start = field(50);
    map.env_end = field(51);
    map.exe_fd = static_cast<__u32>(-1);
    return prctl(PR_SET_MM, PR_SET_MM_MAP, &map, sizeof map, 0) == 0;
}

// The first `size` bytes of /proc/self/cmdline.
std::string cmdlineStart(std::size_t size) {
    std::string text(size, '\0');
    const int fd = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "";
    const ssize_t n = read(fd, text.data(), size);
    close(fd);
    text.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: argument_area MIB WORD...\n");
        return 1;
    }
    const std::size_t size = std::strtoull(argv[1], nullptr, 10) << 20;
    std::string words;
    for (int i = 2; i < argc; ++i) words.append(argv[i]).push_back('\0');
    if (words.size() > size) {
        std::fprintf(stderr, "argument_area: the words do not fit\n");
        return 1;
    }
    void* area = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (area == MAP_FAILED) {
        std::perror("argument_area: mmap");
        return 1;
    }
    std::memcpy(area, words.data(), words.size());
    const auto start = reinterpret_cast<unsigned long>(area);
    if (!moveArguments(start, start + size)) {
        std::fprintf(stderr, "argument_area: cannot move the argument memory: %s\n",
                     std::strerror(errno));
        return 2;
    }
    if (cmdlineStart(words.size()) != words) {
        std::fprintf(stderr, "argument_area: the kernel does not report the moved memory\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) pause();
}

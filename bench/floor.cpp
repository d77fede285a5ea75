// vindle_floor: the least work that yields what a process-tree printer needs
// from /proc, as the floor the benchmark measures vindle against.
//
//   vindle_floor [--stat] [--cmdline] [--threads N]
//
// Lists /proc and reads /proc/PID/status of every process (name, parent,
// user, kernel-thread mark are all there), or with --stat /proc/PID/stat
// (all of that but the user), and with --cmdline also every
// /proc/PID/cmdline. With --threads N the listed processes are shared among
// N threads, each taking the next run of 64 pids until none is left; 0 means
// one thread per CPU the process may run on. It keeps nothing and prints one
// line: the number of processes and of bytes read. A read shorter than asked
// is the end of these files, so a file that fits the buffer costs one read.
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t pidsPerTake = 64;

// Reads all of `path` below `dirFd` into `buffer`; returns the bytes read.
long readAll(int dirFd, const char* path, char* buffer, std::size_t size) {
    int fd = openat(dirFd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    long total = 0;
    for (;;) {
        ssize_t n = read(fd, buffer, size);
        if (n <= 0) break;
        total += n;
        if (static_cast<std::size_t>(n) < size) break;
    }
    close(fd);
    return total;
}

struct Totals {
    std::atomic<long> processes{0};
    std::atomic<long> bytes{0};
};

void readShare(int procFd, const std::vector<std::string>& pids, std::atomic<std::size_t>& next,
               const char* file, bool cmdline, Totals& totals) {
    char buffer[4096];
    char path[64];
    long processes = 0;
    long bytes = 0;
    for (;;) {
        const std::size_t first = next.fetch_add(pidsPerTake);
        if (first >= pids.size()) break;
        const std::size_t last = std::min(first + pidsPerTake, pids.size());
        for (std::size_t i = first; i < last; ++i) {
            std::snprintf(path, sizeof path, "%s/%s", pids[i].c_str(), file);
            long text = readAll(procFd, path, buffer, sizeof buffer);
            if (text == 0) continue;
            ++processes;
            bytes += text;
            if (cmdline) {
                std::snprintf(path, sizeof path, "%s/cmdline", pids[i].c_str());
                bytes += readAll(procFd, path, buffer, sizeof buffer);
            }
        }
    }
    totals.processes += processes;
    totals.bytes += bytes;
}

unsigned usableCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
}

int usage() {
    std::fputs("usage: vindle_floor [--stat] [--cmdline] [--threads N]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool cmdline = false;
    const char* file = "status";
    unsigned threads = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cmdline") == 0) {
            cmdline = true;
        } else if (std::strcmp(argv[i], "--stat") == 0) {
            file = "stat";
        } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            char* end = nullptr;
            const long count = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || count < 0 || count > 1024) return usage();
            threads = count == 0 ? usableCpus() : static_cast<unsigned>(count);
        } else {
            return usage();
        }
    }
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        std::perror("vindle_floor: /proc");
        return 1;
    }
    const int procFd = dirfd(proc);
    std::vector<std::string> pids;
    while (dirent* entry = readdir(proc)) {
        if (entry->d_name[0] >= '1' && entry->d_name[0] <= '9') pids.emplace_back(entry->d_name);
    }
    std::atomic<std::size_t> next{0};
    Totals totals;
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads; ++i)
        helpers.emplace_back(readShare, procFd, std::cref(pids), std::ref(next), file, cmdline,
                             std::ref(totals));
    readShare(procFd, pids, next, file, cmdline, totals);
    for (std::thread& helper : helpers) helper.join();
    closedir(proc);
    std::printf("%ld processes, %ld bytes\n", totals.processes.load(), totals.bytes.load());
    return 0;
}

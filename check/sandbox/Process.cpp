#include "sandbox/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cases/ExpectedText.h"

Fd::~Fd() {
    if (fd >= 0) {
        close(fd);
    }
}

std::pair<Fd, Fd> makePipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) < 0) {
        throw std::runtime_error(std::string("cannot make a pipe: ") + std::strerror(errno));
    }
    return {Fd(ends[0]), Fd(ends[1])};
}

Fd memoryFile(const std::string& bytes) {
    Fd file(memfd_create("case", MFD_CLOEXEC));
    if (file.get() < 0 || write(file.get(), bytes.data(), bytes.size()) != ssize_t(bytes.size()) ||
        lseek(file.get(), 0, SEEK_SET) != 0) {
        throw std::runtime_error(std::string("no file in memory: ") + std::strerror(errno));
    }
    return file;
}

// Read through a descriptor of its own, so the position of this one does
// not matter.
std::string readAll(const Fd& file) {
    return readFile("/proc/self/fd/" + std::to_string(file.get()));
}

namespace {

std::vector<pid_t>& keptChildren() {
    static std::vector<pid_t> kept;
    return kept;
}

// The checker's children that are leftovers: what it started, and what
// those left behind, but for those it keeps.
// (Each thread has its own list: a child is on the list of the thread that
// started it, or of the one it was handed to.)
std::vector<pid_t> ownChildren() {
    std::vector<pid_t> children;
    const std::vector<pid_t>& kept = keptChildren();
    std::error_code none;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", none)) {
        std::ifstream list(task.path() / "children");
        for (pid_t child = 0; list >> child;) {
            if (std::find(kept.begin(), kept.end(), child) == kept.end()) {
                children.push_back(child);
            }
        }
    }
    return children;
}

}  // namespace

void keepChild(pid_t child) {
    keptChildren().push_back(child);
}

void forgetChild(pid_t child) {
    auto& kept = keptChildren();
    kept.erase(std::remove(kept.begin(), kept.end(), child), kept.end());
}

void endLeftovers() {
    // Killing a process hands its own children to the checker: round after
    // round, until none is left.
    for (std::vector<pid_t> children = ownChildren(); !children.empty(); children = ownChildren()) {
        for (const pid_t child : children) {
            kill(child, SIGKILL);
        }
        for (const pid_t child : children) {
            waitpid(child, nullptr, 0);
        }
    }
}

std::string procFile(const std::string& path) {
    const Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    char text[4096];
    const ssize_t count = file.get() < 0 ? -1 : read(file.get(), text, sizeof text - 1);
    return count <= 0 ? "" : std::string(text, static_cast<std::size_t>(count));
}

std::vector<long long> numbersIn(const std::string& text) {
    std::vector<long long> numbers;
    std::istringstream words(text);
    for (long long number = 0; words >> number;) {
        numbers.push_back(number);
    }
    return numbers;
}

std::vector<long> threadsOf(long pid) {
    std::vector<long> threads;
    std::error_code ended;  // the process may end while its threads are listed
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (std::filesystem::directory_iterator task(tasks, ended), last; !ended && task != last;
         task.increment(ended)) {
        threads.push_back(std::atol(task->path().filename().c_str()));
    }
    return threads;
}

std::vector<std::pair<long, int>> processTree(pid_t program) {
    std::vector<std::pair<long, int>> processes = {{program, 0}};
    for (std::size_t next = 0; next < processes.size() && processes.size() < 4096; ++next) {
        const auto [pid, depth] = processes[next];
        for (const long tid : threadsOf(pid)) {
            for (const long long child :
                 numbersIn(procFile("/proc/" + std::to_string(pid) + "/task/" +
                                    std::to_string(tid) + "/children"))) {
                processes.emplace_back(static_cast<long>(child), depth + 1);
            }
        }
    }
    return processes;
}

Deadline deadlineIn(double seconds) {
    return std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
}

bool drainInto(int fd, std::string& kept, std::size_t limit) {
    char buffer[1 << 16];
    ssize_t count = 0;
    while ((count = read(fd, buffer, sizeof buffer)) > 0) {
        const std::size_t room = limit - std::min(limit, kept.size());
        kept.append(buffer, std::min(room, static_cast<std::size_t>(count)));
    }
    return count < 0 && (errno == EAGAIN || errno == EINTR);
}

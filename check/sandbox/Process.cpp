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

// Sets both the soft and the hard limit, unless bytes is 0.
void setLimit(int resource, unsigned long long bytes) {
    // rlim_t is 32 bits wide on 32-bit systems.
    const rlim_t limit =
        static_cast<rlim_t>(std::min<unsigned long long>(bytes, RLIM_INFINITY - 1));
    const rlimit both{limit, limit};
    if (bytes > 0) {
        setrlimit(resource, &both);
    }
}

// In the new process, between fork and exec: only what is safe there.
[[noreturn]] void becomeProgram(const Launch& launch, char* const* args, int startFailed) {
    // A session of its own, so that without a terminal of its own it has
    // none: it cannot read from, or type into, the one the checker runs at.
    setsid();
    const int sources[] = {launch.input, launch.output, launch.errors};
    int error = 0;
    for (int target = 0; target < 3 && error == 0; ++target) {
        if (sources[target] < 0) {
            close(target);
        } else if (dup2(sources[target], target) < 0) {
            error = errno;
        }
    }
    if (error == 0 && launch.ownTerminal && ioctl(0, TIOCSCTTY, 0) < 0) {
        error = errno;
    }
    if (error == 0) {
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        setLimit(RLIMIT_AS, launch.memoryLimit);
        setLimit(RLIMIT_DATA, launch.caps.memoryBytes);
        setLimit(RLIMIT_FSIZE, launch.fileSizeLimit);
        signal(SIGPIPE, launch.ignoreBrokenPipe ? SIG_IGN : SIG_DFL);
        if (launch.onlyGivenEnvironment) {
            clearenv();
        }
        for (const auto& [name, value] : launch.environment) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        execvp(args[0], args);
        error = errno;
    }
    // The checker learns why through the pipe; exec would have closed it.
    ssize_t ignored = write(startFailed, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

}  // namespace

pid_t start(const Launch& launch) {
    // A process that the program starts and leaves behind, even in a
    // session of its own, comes to the checker when its parent ends, so
    // that endLeftovers() can end it.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    if (launch.argv.empty()) {
        throw CannotStart("no command given");
    }
    std::vector<char*> args;
    for (const std::string& arg : launch.argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    auto [whyRead, whyWrite] = makePipe();
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error(std::string("cannot fork: ") + std::strerror(errno));
    } else if (pid == 0) {
        becomeProgram(launch, args.data(), whyWrite.get());
    }
    whyWrite = Fd();
    int error = 0;
    ssize_t count;
    do {
        count = read(whyRead.get(), &error, sizeof error);
    } while (count < 0 && errno == EINTR);
    if (count == sizeof error) {
        waitpid(pid, nullptr, 0);
        throw CannotStart("cannot start " + launch.argv[0] + ": " + std::strerror(error));
    }
    return pid;
}

std::string RunResult::describe(double timeoutSeconds) const {
    std::ostringstream text;
    if (!overCap.empty()) {
        text << "was stopped: it " << overCap;
    } else if (timedOut) {
        text << "did not end within " << timeoutSeconds << " s";
    } else if (signal != 0) {
        text << "was killed by signal " << signal << " (" << strsignal(signal) << ")";
    } else {
        text << "exited with status " << exitStatus;
    }
    return text.str();
}

namespace {

// The checker's children: what it started, and what those left behind.
// (Each thread has its own list: a child is on the list of the thread that
// started it, or of the one it was handed to.)
std::vector<pid_t> ownChildren() {
    std::vector<pid_t> children;
    std::error_code none;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", none)) {
        std::ifstream list(task.path() / "children");
        for (pid_t child = 0; list >> child;) {
            children.push_back(child);
        }
    }
    return children;
}

}  // namespace

namespace {

std::string scratch;

// Leaves the scratch folder empty, as a new run must find it.
void emptyScratch() {
    std::error_code none;
    for (const auto& entry : std::filesystem::directory_iterator(scratch, none)) {
        std::filesystem::remove_all(entry.path(), none);
    }
}

}  // namespace

void setScratch(const std::string& folder) {
    scratch = folder;
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
    if (!scratch.empty()) {
        emptyScratch();
    }
}

namespace {

// A process's data and stack, in bytes, as the kernel counts them against
// RLIMIT_DATA (0 when it is gone).
unsigned long long dataBytes(long pid) {
    const std::vector<long long> pages =
        numbersIn(procFile("/proc/" + std::to_string(pid) + "/statm"));
    return pages.size() > 5 ? static_cast<unsigned long long>(pages[5]) *
                                  static_cast<unsigned long long>(sysconf(_SC_PAGESIZE))
                            : 0;
}

}  // namespace

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
    std::error_code none;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, none)) {
        threads.push_back(std::atol(task.path().filename().c_str()));
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

std::string overCaps(pid_t program, const Caps& caps) {
    std::size_t counted = 0;
    for (const auto& [pid, depth] : processTree(program)) {
        if (depth < caps.confinerLevels) {
            continue;
        }
        if (caps.processes > 0 && ++counted > caps.processes) {
            return "started more than " + std::to_string(caps.processes) + " processes";
        }
        // The kernel fails an allocation that would pass the cap; a process
        // this near it is taking memory without end.
        if (caps.memoryBytes > 0 && dataBytes(pid) >= caps.memoryBytes / 8 * 7) {
            return "took memory up to its cap of " + std::to_string(caps.memoryBytes >> 20) +
                   " MiB";
        }
    }
    return "";
}

RunResult killAndCollect(pid_t pid) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    endLeftovers();
    return {true, -1, 0, ""};
}

Deadline deadlineIn(double seconds) {
    return std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
}

std::optional<RunResult> watch(pid_t pid, Deadline deadline, const std::function<bool()>& meanwhile,
                               const Caps& caps) {
    const bool capped = caps.processes > 0 || caps.memoryBytes > 0;
    for (;;) {
        int status = 0;
        std::string over;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            endLeftovers();
            return RunResult{false, WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                             WIFSIGNALED(status) ? WTERMSIG(status) : 0, ""};
        } else if (std::chrono::steady_clock::now() > deadline) {
            return killAndCollect(pid);
        } else if (capped && !(over = overCaps(pid, caps)).empty()) {
            RunResult stopped = killAndCollect(pid);
            stopped.timedOut = false;
            stopped.overCap = over;
            return stopped;
        } else if (meanwhile()) {
            return std::nullopt;
        }
    }
}

RunResult run(const Launch& launch, double timeoutSeconds) {
    return *watch(
        start(launch), deadlineIn(timeoutSeconds),
        [] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return false;
        },
        launch.caps);
}

void drainInto(int fd, std::string& kept, std::size_t limit) {
    char buffer[1 << 16];
    ssize_t count = 0;
    while ((count = read(fd, buffer, sizeof buffer)) > 0) {
        const std::size_t room = limit - std::min(limit, kept.size());
        kept.append(buffer, std::min(room, static_cast<std::size_t>(count)));
    }
}

namespace {

// Moves bytes between the checker and a running program: the input into
// its standard input, as fast as it reads, and its output out of the pipe.
class Pump {
public:
    Pump(Fd input, const std::string& bytes, Fd output, std::string* kept, std::size_t limit)
        : in(std::move(input)), bytes(bytes), out(std::move(output)), kept(kept), limit(limit) {
        fcntl(in.get(), F_SETFL, O_NONBLOCK);
        fcntl(out.get(), F_SETFL, O_NONBLOCK);
        if (bytes.empty()) {
            in = Fd();
        }
    }

    // Waits up to a millisecond for either pipe, then moves what it can.
    void step() {
        pollfd ready[2];
        nfds_t count = 0;
        for (const Fd* end : {&in, &out}) {
            if (end->get() >= 0) {
                ready[count++] = {end->get(), end == &in ? short(POLLOUT) : short(POLLIN), 0};
            }
        }
        poll(ready, count, 1);
        feed();
        drain();
    }

    // What the pipe still holds once the program has ended.
    void finish() {
        in = Fd();
        drain();
    }

private:
    void feed() {
        if (in.get() < 0) {
            return;
        }
        const std::size_t piece = std::min<std::size_t>(bytes.size() - fed, 1 << 16);
        const ssize_t count = write(in.get(), bytes.data() + fed, piece);
        if (count > 0) {
            fed += static_cast<std::size_t>(count);
        }
        // Done, or the program has closed its input (EPIPE): either way no more.
        if (fed == bytes.size() || (count < 0 && errno != EAGAIN && errno != EINTR)) {
            in = Fd();
        }
    }

    void drain() {
        char buffer[1 << 16];
        while (out.get() >= 0) {
            const ssize_t count = read(out.get(), buffer, sizeof buffer);
            if (count > 0 && kept != nullptr) {
                const std::size_t room = limit - std::min(limit, kept->size());
                kept->append(buffer, std::min(room, static_cast<std::size_t>(count)));
            } else if (count == 0) {
                out = Fd();
            } else if (count < 0) {
                return;  // nothing more for now (EAGAIN), or try again later
            }
        }
    }

    Fd in;
    const std::string& bytes;
    std::size_t fed = 0;
    Fd out;
    std::string* kept;
    std::size_t limit;
};

}  // namespace

RunResult runPiped(Launch launch, const std::string& input, double timeoutSeconds,
                   std::string* output, std::size_t outputLimit, std::string* errors,
                   std::size_t errorsLimit) {
    auto [programIn, feeding] = makePipe();
    Fd errorsIn, errorsOut;
    if (errors != nullptr) {
        std::tie(errorsIn, errorsOut) = makePipe();
        fcntl(errorsIn.get(), F_SETFL, O_NONBLOCK);
        launch.errors = errorsOut.get();
    }
    Fd reading, programOut;
    if (output != nullptr) {
        std::tie(reading, programOut) = makePipe();
    } else {
        programOut = Fd(open("/dev/null", O_WRONLY | O_CLOEXEC));
    }
    launch.input = programIn.get();
    launch.output = programOut.get();
    const pid_t pid = start(launch);
    programIn = Fd();
    programOut = Fd();
    errorsOut = Fd();
    Pump pump(std::move(feeding), input, std::move(reading), output, outputLimit);
    const auto keepErrors = [&] {
        if (errors != nullptr) {
            drainInto(errorsIn.get(), *errors, errorsLimit);
        }
    };
    const RunResult result = *watch(
        pid, deadlineIn(timeoutSeconds),
        [&] {
            pump.step();
            keepErrors();
            return false;
        },
        launch.caps);
    pump.finish();
    keepErrors();
    return result;
}

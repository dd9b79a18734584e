#include "sandbox/Run.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <sstream>

extern char** environ;

std::string RunResult::describe(double timeoutSeconds) const {
    std::ostringstream text;
    if (!overCap.empty()) {
        text << "was stopped at " << overCap;
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

volatile sig_atomic_t interruptedBy = 0;

void noteInterrupt(int signal) {
    interruptedBy = signal;
}

}  // namespace

void endRunsOnInterrupt() {
    struct sigaction note {};
    note.sa_handler = noteInterrupt;
    sigaction(SIGINT, &note, nullptr);
    sigaction(SIGTERM, &note, nullptr);
}

bool interruptRequested() {
    return interruptedBy != 0;
}

namespace {

// A process's tasks and its memory in use (anonymous and shared, not the
// files it maps, which the page cache holds for everyone), from its status.
std::pair<unsigned, unsigned long long> tasksAndMemory(long pid) {
    std::istringstream status(procFile("/proc/" + std::to_string(pid) + "/status"));
    unsigned tasks = 0;
    unsigned long long kib = 0;
    for (std::string line; std::getline(status, line);) {
        std::istringstream words(line);
        std::string field;
        unsigned long long value = 0;
        words >> field >> value;
        if (field == "Threads:") {
            tasks = static_cast<unsigned>(value);
        } else if (field == "RssAnon:" || field == "RssShmem:") {
            kib += value;
        }
    }
    return {tasks, kib << 10};
}

// The memory of the memfd files a process holds open, each counted once:
// a memfd is memory no process's RssShmem shows until it is mapped, and no
// file system's size caps.
unsigned long long memfdBytes(long pid, std::set<std::pair<dev_t, ino_t>>& counted) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* const descriptors = opendir(folder.c_str());
    if (descriptors == nullptr) {
        return 0;
    }
    unsigned long long bytes = 0;
    char target[16];
    for (const dirent* entry; (entry = readdir(descriptors)) != nullptr;) {
        const ssize_t length = readlinkat(dirfd(descriptors), entry->d_name, target, sizeof target);
        struct stat file {};
        if (length >= 7 && std::memcmp(target, "/memfd:", 7) == 0 &&
            fstatat(dirfd(descriptors), entry->d_name, &file, 0) == 0 &&
            counted.emplace(file.st_dev, file.st_ino).second) {
            bytes += static_cast<unsigned long long>(file.st_blocks) * 512;
        }
    }
    closedir(descriptors);
    return bytes;
}

// How often the caps are checked: the kernel's limits on each process bound
// what a run can take in between.
constexpr double CAPS_EVERY_SECONDS = 0.005;

}  // namespace

std::string overCaps(const std::vector<std::pair<long, int>>& processes, const Caps& caps) {
    unsigned tasks = 0;
    unsigned long long memory = 0;
    std::set<std::pair<dev_t, ino_t>> memfds;
    for (const auto& [pid, depth] : processes) {
        const auto [own, bytes] = tasksAndMemory(pid);
        tasks += own;
        memory += bytes + memfdBytes(pid, memfds);
    }
    if (caps.tasks > 0 && tasks >= caps.tasks) {
        return "its cap of " + std::to_string(caps.tasks) + " processes and threads (--max-tasks)";
    }
    if (caps.memoryBytes > 0 && memory >= caps.memoryBytes / 8 * 7) {
        const unsigned long long shown = caps.memoryShown > 0 ? caps.memoryShown : caps.memoryBytes;
        return "its cap of " + std::to_string(shown >> 20) + " MiB of memory (--max-memory)";
    }
    return "";
}

Watch::Watch(Runner& runner, double timeoutSeconds, const Caps& caps)
    : on(runner),
      deadline(deadlineIn(timeoutSeconds)),
      caps(caps),
      nextCapsCheck(deadlineIn(CAPS_EVERY_SECONDS)) {
    on.overCap();  // what an earlier run reached is not this one's
}

Watch::~Watch() {
    if (!done) {
        stopNow();
    }
}

void Watch::wait(std::vector<pollfd>& more, std::chrono::microseconds most) {
    if (interruptRequested() && !done) {
        on.stop();
        while (!done) {
            std::vector<pollfd> nothing;
            step(nothing, std::chrono::milliseconds(100));
        }
        throw Interrupted();
    }
    step(more, most);
}

void Watch::step(std::vector<pollfd>& more, std::chrono::microseconds most) {
    const std::size_t given = more.size();
    for (const int fd : on.watched()) {
        more.push_back({fd, POLLIN, 0});
    }
    // Woken for the next look at the caps, at the latest.
    const Deadline until =
        caps.tasks > 0 || caps.memoryBytes > 0 ? std::min(deadline, nextCapsCheck) : deadline;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                          until - std::chrono::steady_clock::now()) +
                      std::chrono::microseconds(100);
    const long long waitFor = std::max<long long>(0, std::min(most, left).count());
    const timespec time{static_cast<time_t>(waitFor / 1000000),
                        static_cast<long>(waitFor % 1000000) * 1000};
    if (ppoll(more.data(), more.size(), &time, nullptr) < 0 && errno != EINTR) {
        throw std::runtime_error(std::string("cannot wait for a run: ") + std::strerror(errno));
    }
    more.resize(given);
    for (const RunEvent& event : on.handle()) {
        if (event.kind == RunEvent::MayWait) {
            mayWait = true;
        } else if (!done) {
            done = true;
            if (stoppedFor.empty()) {
                // The kernel may have stopped it at a cap between two looks.
                stoppedFor = on.overCap();
            }
            outcome.timedOut = stoppedAtTimeout && stoppedFor.empty();
            outcome.overCap = stoppedFor;
            const int status = event.waitStatus;
            outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        }
    }
    if (done || !stoppedFor.empty() || stoppedAtTimeout) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now > deadline) {
        stoppedAtTimeout = true;
        on.stop();
    } else if (now > nextCapsCheck) {
        nextCapsCheck = deadlineIn(CAPS_EVERY_SECONDS);
        checkCaps();
    }
}

void Watch::checkCaps() {
    stoppedFor = on.overCap();
    if (stoppedFor.empty() && (caps.tasks > 0 || caps.memoryBytes > 0)) {
        stoppedFor = overCaps(on.processes(), caps);
    }
    if (!stoppedFor.empty()) {
        on.stop();
    }
}

bool Watch::takeMayWait() {
    const bool was = mayWait;
    mayWait = false;
    return was;
}

void Watch::stopNow() {
    if (!done && stoppedFor.empty() && !stoppedAtTimeout) {
        stoppedAtTimeout = true;
        on.stop();
    }
    while (!done) {
        std::vector<pollfd> nothing;
        step(nothing, std::chrono::milliseconds(100));
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

    // The descriptors to wait on, for room to write and for output.
    std::vector<pollfd> waitingOn() const {
        std::vector<pollfd> fds;
        if (in.get() >= 0) {
            fds.push_back({in.get(), POLLOUT, 0});
        }
        if (out.get() >= 0) {
            fds.push_back({out.get(), POLLIN, 0});
        }
        return fds;
    }

    void step() {
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

RunResult runPiped(Runner& runner, const RunRequest& request, const std::string& input,
                   double timeoutSeconds, std::string* output, std::size_t outputLimit,
                   std::string* errors, std::size_t errorsLimit, const Caps& caps) {
    auto [programIn, feeding] = makePipe();
    Fd errorsIn, errorsOut;
    if (errors != nullptr) {
        std::tie(errorsIn, errorsOut) = makePipe();
        fcntl(errorsIn.get(), F_SETFL, O_NONBLOCK);
    } else {
        errorsOut = Fd(open("/dev/null", O_WRONLY | O_CLOEXEC));
    }
    Fd reading, programOut;
    if (output != nullptr) {
        std::tie(reading, programOut) = makePipe();
    } else {
        programOut = Fd(open("/dev/null", O_WRONLY | O_CLOEXEC));
    }
    runner.start(request, programIn.get(), programOut.get(), errorsOut.get());
    programIn = Fd();
    programOut = Fd();
    errorsOut = Fd();
    Pump pump(std::move(feeding), input, std::move(reading), output, outputLimit);
    Watch watch(runner, timeoutSeconds, caps);
    bool errorsOpen = errors != nullptr;
    while (!watch.ended()) {
        std::vector<pollfd> fds = pump.waitingOn();
        if (errorsOpen) {
            fds.push_back({errorsIn.get(), POLLIN, 0});
        }
        watch.wait(fds, std::chrono::milliseconds(100));
        pump.step();
        if (errorsOpen) {
            errorsOpen = drainInto(errorsIn.get(), *errors, errorsLimit);
        }
    }
    pump.finish();
    if (errors != nullptr) {
        drainInto(errorsIn.get(), *errors, errorsLimit);
    }
    return watch.result();
}

RunResult runOn(Runner& runner, const RunRequest& request, int input, int output, int errors,
                double timeoutSeconds, const Caps& caps) {
    runner.start(request, input, output, errors);
    Watch watch(runner, timeoutSeconds, caps);
    while (!watch.ended()) {
        std::vector<pollfd> nothing;
        watch.wait(nothing, std::chrono::milliseconds(100));
    }
    return watch.result();
}

std::vector<std::pair<std::string, std::string>> environmentWith(
    const std::vector<std::pair<std::string, std::string>>& more) {
    std::vector<std::pair<std::string, std::string>> variables;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string text = *variable;
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string name = text.substr(0, equals);
        const bool replaced = std::any_of(more.begin(), more.end(),
                                          [&](const auto& given) { return given.first == name; });
        if (!replaced) {
            variables.emplace_back(name, text.substr(equals + 1));
        }
    }
    variables.insert(variables.end(), more.begin(), more.end());
    return variables;
}

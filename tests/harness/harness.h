// What the runner's modes (see case_runner.cpp) share: their options,
// starting and watching a program, and judging what it printed.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <thread>
#include <utility>

#include "ExpectedText.h"

namespace fs = std::filesystem;

struct Options {
    bool quick = false;
    double timeoutSeconds = 5;
    std::vector<std::string> wrapper;
    std::string clock, clockLibrary, waits;
    unsigned long long memoryLimitMegabytes = 300;
    std::vector<std::string> positional;
};

// Thrown when a case cannot run here: the runner prints why and ends with
// the status, SKIPPED (ctest's SKIP_RETURN_CODE) or a failure.
struct CannotRun {
    std::string why;
    int status;
};
constexpr int SKIPPED = 77;

// Counts the problems found, and tells each on standard error.
struct Verdict {
    int failures = 0;
    void fail(const std::string& problem) {
        ++failures;
        std::cerr << problem << "\n";
    }
    int status() const { return failures == 0 ? 0 : 1; }
};

// Shows a text with its invisible bytes spelled out, so a missing blank or
// newline is as plain to see as a wrong digit.
inline std::string visible(const std::string& text) {
    std::string shown;
    for (unsigned char c : text) {
        char code[8];
        std::snprintf(code, sizeof code, "\\x%02x", c);
        shown += c == '\n'            ? "\\n\n"
                 : c == '\t'          ? "\\t"
                 : c == ' '           ? "\xc2\xb7"  // a middle dot marks every blank
                 : c < 32 || c >= 127 ? code
                                      : std::string(1, static_cast<char>(c));
    }
    return shown;
}

// An open descriptor, closed when it goes out of scope.
struct Fd {
    int fd;
    explicit Fd(int fd = -1) : fd(fd) {}
    Fd(Fd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Fd& operator=(Fd other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    ~Fd() {
        if (fd >= 0) {
            close(fd);
        }
    }
};

// A file in memory that holds the bytes, read from its start (closed on exec).
inline Fd memoryFile(const std::string& bytes) {
    Fd file(memfd_create("case", MFD_CLOEXEC));
    if (file.fd < 0 || write(file.fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()) ||
        lseek(file.fd, 0, SEEK_SET) != 0) {
        throw std::runtime_error(std::string("no file in memory: ") + std::strerror(errno));
    }
    return file;
}

// What an open file holds, from its start, read through a descriptor of
// its own (so the position of this one does not matter).
inline std::string readAll(const Fd& file) {
    return readFile("/proc/self/fd/" + std::to_string(file.fd));
}

// The *.in files of a case folder, in name order (none without the folder).
inline std::vector<fs::path> caseInputs(const fs::path& caseDir) {
    std::vector<fs::path> inputs;
    std::error_code none;
    for (const auto& entry : fs::directory_iterator(caseDir, none)) {
        if (entry.path().extension() == ".in") {
            inputs.push_back(entry.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

// How a program is started: its descriptors 0, 1 and 2 are the given ones
// of the runner, or closed for -1.
struct Launch {
    explicit Launch(const std::string& program, int input = -1, int output = -1, int errors = 2)
        : argv{program}, input(input), output(output), errors(errors) {}
    std::vector<std::string> argv;
    std::vector<std::pair<std::string, std::string>> environment;
    int input, output, errors;
    bool ignoreBrokenPipe = false;       // SIGPIPE ignored instead of at its default
    unsigned long long memoryLimit = 0;  // RLIMIT_AS in bytes; 0 leaves it as it is
    bool ownTerminal = false;  // a session of its own, descriptor 0 its controlling terminal
};

// The program of a case, its clock stopped as --clock asks by libfaketime
// (preloaded, so AddressSanitizer must not insist on coming first).
inline Launch caseLaunch(const Options& options) {
    Launch launch(options.positional.at(0));
    if (options.clock.empty()) {
        return launch;
    }
    if (options.clockLibrary.empty() || !fs::exists(options.clockLibrary)) {
        throw CannotRun{"the case needs a stopped clock, and libfaketime is missing",
                        std::getenv("LESSONS_CI") != nullptr ? 1 : SKIPPED};
    }
    const char* asan = std::getenv("ASAN_OPTIONS");
    launch.environment = {{"FAKETIME", options.clock},
                          {"TZ", "UTC"},
                          {"LD_PRELOAD", options.clockLibrary},
                          {"ASAN_OPTIONS", (asan ? asan + std::string(":") : std::string()) +
                                               "verify_asan_link_order=0"}};
    return launch;
}

// Starts the program in a process group of its own (so that ending the group
// also ends whatever a wrapper such as valgrind started), without core dumps.
inline pid_t start(const Launch& launch) {
    std::vector<char*> args;
    for (const std::string& arg : launch.argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    } else if (pid > 0) {
        return pid;
    }
    launch.ownTerminal ? setsid() : setpgid(0, 0);
    const int sources[] = {launch.input, launch.output, launch.errors};
    for (int target = 0; target < 3; ++target) {
        if (sources[target] < 0) {
            close(target);
        } else if (dup2(sources[target], target) < 0) {
            _exit(126);
        }
    }
    if (launch.ownTerminal && ioctl(0, TIOCSCTTY, 0) < 0) {
        _exit(126);
    }
    const rlimit noCore{0, 0}, memory{launch.memoryLimit, launch.memoryLimit};
    setrlimit(RLIMIT_CORE, &noCore);
    if (launch.memoryLimit > 0) {
        setrlimit(RLIMIT_AS, &memory);
    }
    signal(SIGPIPE, launch.ignoreBrokenPipe ? SIG_IGN : SIG_DFL);
    for (const auto& [name, value] : launch.environment) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    execvp(args[0], args.data());
    _exit(127);
}

struct RunResult {
    bool timedOut = false;
    int exitStatus = -1;  // -1 when the process did not exit normally
    int signal = 0;

    bool endedWell() const { return !timedOut && exitStatus == 0; }
    std::string describe(double timeoutSeconds) const {
        std::ostringstream text;
        if (timedOut) {
            text << "did not end within " << timeoutSeconds << " s";
        } else if (signal != 0) {
            text << "was killed by signal " << signal << " (" << strsignal(signal) << ")";
        } else {
            text << "exited with status " << exitStatus;
        }
        return text.str();
    }
};

inline RunResult killAndCollect(pid_t pid) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return {true, -1, 0};
}

using Deadline = std::chrono::time_point<std::chrono::steady_clock, std::chrono::duration<double>>;
inline Deadline deadlineIn(double seconds) {
    return std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
}

// Watches the program until it ends, or until the deadline, when its group
// is killed.  In between, meanwhile() runs over and over, for about a
// millisecond each time; once it returns true the program is left running.
inline std::optional<RunResult> watch(pid_t pid, Deadline deadline,
                                      const std::function<bool()>& meanwhile) {
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return RunResult{false, WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                             WIFSIGNALED(status) ? WTERMSIG(status) : 0};
        } else if (std::chrono::steady_clock::now() > deadline) {
            return killAndCollect(pid);
        } else if (meanwhile()) {
            return std::nullopt;
        }
    }
}

inline RunResult run(const Launch& launch, double timeoutSeconds) {
    return *watch(start(launch), deadlineIn(timeoutSeconds), [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return false;
    });
}

// Runs the program on the input; its output goes into *output, or to /dev/null.
inline RunResult runOnInput(Launch launch, const std::string& input, double timeoutSeconds,
                            std::string* output) {
    const Fd in = memoryFile(input);
    const Fd out = output ? memoryFile("") : Fd(open("/dev/null", O_WRONLY | O_CLOEXEC));
    launch.input = in.fd;
    launch.output = out.fd;
    const RunResult result = run(launch, timeoutSeconds);
    if (output) {
        *output = readAll(out);
    }
    return result;
}

// The output a case expects: a .out file byte for byte, a .match file line
// by line with placeholders.  Its lines are compared as pieces: after the
// last newline comes a last piece, "" when the text ends in a newline.
class Expected {
public:
    explicit Expected(const fs::path& path)
        : text(readFile(path)), pattern(path.extension() == ".match") {}
    const std::string text;
    const bool pattern;

    // "" when actual is the whole expected output, else what went wrong.
    std::string differenceFrom(const std::string& actual) const {
        if (!pattern) {
            const auto offset =
                std::mismatch(text.begin(), text.end(), actual.begin(), actual.end()).first -
                text.begin();
            return text == actual ? ""
                                  : "output differs from byte " + std::to_string(offset) +
                                        " on\n--- expected\n" + visible(text) + "\n--- actual\n" +
                                        visible(actual);
        }
        const std::vector<std::string> want = pieces(text), got = pieces(actual);
        if (const std::size_t i = piecesMatching(want, got);
            i < std::min(want.size(), got.size())) {
            return "line " + std::to_string(i + 1) +
                   " differs:\n  expected pattern: " + visible(want[i]) +
                   "\n  actual:           " + visible(got[i]);
        }
        return want.size() == got.size() ? ""
                                         : "expected " + std::to_string(want.size()) +
                                               " line pieces, got " + std::to_string(got.size());
    }

    // Whether actual is how the expected output begins.  In a .match file
    // the unfinished last line is compared up to its first placeholder.
    bool beginsWith(const std::string& actual) const {
        if (!pattern) {
            return text.compare(0, actual.size(), actual) == 0;
        }
        const std::vector<std::string> want = pieces(text), got = pieces(actual);
        const std::size_t last = got.size() - 1;
        if (got.size() > want.size() || piecesMatching(want, got) < last) {
            return false;
        }
        const std::string literal = want[last].substr(0, firstPlaceholder(want[last]));
        return got[last].size() <= literal.size()
                   ? literal.compare(0, got[last].size(), got[last]) == 0
                   : literal.size() < want[last].size() && got[last].rfind(literal, 0) == 0;
    }

private:
    static std::vector<std::string> pieces(const std::string& text) {
        std::vector<std::string> lines = splitLines(text);
        if (text.empty() || text.back() == '\n') {
            lines.push_back("");
        }
        return lines;
    }

    // How many pieces, from the first on, match their expected line.
    static std::size_t piecesMatching(const std::vector<std::string>& want,
                                      const std::vector<std::string>& got) {
        std::size_t i = 0;
        while (i < want.size() && i < got.size() && matchesLine(got[i], want[i])) {
            ++i;
        }
        return i;
    }
};

int transcript(const Options& options);
int session(const Options& options);
int abuse(const Options& options);
int failingOutputs(const Options& options);
int memoryRunsOut(const Options& options);

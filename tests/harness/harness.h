// What the runner's modes (see case_runner.cpp) share: their options,
// starting and watching a program, and judging what it printed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// An open descriptor, closed when it goes out of scope.
struct Fd {
    int fd;
    explicit Fd(int fd = -1) : fd(fd) {}
    Fd(Fd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Fd& operator=(Fd other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    ~Fd();
};

Fd openFile(const fs::path& path, int flags);               // closed on exec, like all below
Fd memoryFile(const std::string& bytes);                    // a file in memory that holds the bytes
std::string readAll(const Fd& file);                        // what a file holds, from its start
std::vector<fs::path> caseInputs(const fs::path& caseDir);  // its *.in files, by name

// How a program is started: its descriptors 0, 1 and 2 are the given ones
// of the runner, or closed for -1.
struct Launch {
    explicit Launch(const std::string& program) : argv{program} {}
    std::vector<std::string> argv;
    std::vector<std::pair<std::string, std::string>> environment;
    int input = -1, output = -1, errors = 2;
    bool ignoreBrokenPipe = false;       // SIGPIPE ignored instead of at its default
    unsigned long long memoryLimit = 0;  // RLIMIT_AS in bytes; 0 leaves it as it is
    bool ownTerminal = false;  // a session of its own, descriptor 0 its controlling terminal
};

// The program of a case, its clock stopped as --clock asks (CannotRun
// without libfaketime: skipped, or failed where LESSONS_CI is set).
Launch caseLaunch(const Options& options);

struct RunResult {
    bool timedOut = false;
    int exitStatus = -1;  // -1 when the process did not exit normally
    int signal = 0;
};

using Deadline = std::chrono::time_point<std::chrono::steady_clock, std::chrono::duration<double>>;
Deadline deadlineIn(double seconds);

// Starts the program in a process group of its own (so that ending the group
// also ends whatever a wrapper such as valgrind started), without core dumps.
pid_t start(const Launch& launch);

// Watches the program until it ends, or until the deadline, when its group
// is killed.  In between, meanwhile() runs over and over, for about a
// millisecond each time; once it returns true the program is left running.
std::optional<RunResult> watch(pid_t pid, Deadline deadline,
                               const std::function<bool()>& meanwhile);
RunResult killAndCollect(pid_t pid);
RunResult run(const Launch& launch, double timeoutSeconds);
// Runs the program on the input; its output goes into *output, or to /dev/null.
RunResult runOnInput(Launch launch, const std::string& input, double timeoutSeconds,
                     std::string* output);
std::string describeEnd(const RunResult& result, double timeoutSeconds);
bool endedWell(const RunResult& result);

// Shows a text with its invisible bytes spelled out, so a missing blank or
// newline is as plain to see as a wrong digit.
std::string visible(const std::string& text);

// The output a case expects: a .out file byte for byte, a .match file line
// by line with placeholders.
class Expected {
public:
    explicit Expected(const fs::path& path);
    // "" when actual is the whole expected output, else what went wrong.
    std::string differenceFrom(const std::string& actual) const;
    // Whether actual is how the expected output begins.  In a .match file
    // the unfinished last line is compared up to its first placeholder.
    bool beginsWith(const std::string& actual) const;
    bool isPattern() const { return pattern; }
    const std::string& text() const { return bytes; }

private:
    std::string bytes;
    bool pattern;
};

int transcript(const Options& options);
int session(const Options& options);
int abuse(const Options& options);
int failingOutputs(const Options& options);
int memoryRunsOut(const Options& options);

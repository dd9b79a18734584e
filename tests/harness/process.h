// Files, descriptors and child processes: everything the runner needs to
// start a program the way a test wants it and to see how it ended.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

using Environment = std::vector<std::pair<std::string, std::string>>;
using Deadline = std::chrono::steady_clock::time_point;

Deadline deadlineIn(double seconds);

std::string readFile(const fs::path& path);
void writeFile(const fs::path& path, const std::string& bytes);

// A file in the temporary directory that removes itself.
class ScratchFile {
public:
    explicit ScratchFile(const char* stem);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const fs::path& path() const { return where; }

private:
    fs::path where;
};

// An open descriptor, closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd(other.fd) { other.fd = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept;
    int get() const { return fd; }
    void reset();

private:
    int fd;
};

// Opens a file for the parent to hand to a child (closed on exec).
Descriptor openFile(const fs::path& path, int flags);

// How a program is started.  Descriptors 0, 1 and 2 of the child become
// the given descriptors of the runner, or stay closed for -1.
struct Launch {
    std::vector<std::string> argv;
    Environment environment;
    int input = -1;
    int output = -1;
    int errors = 2;
    bool ignoreBrokenPipe = false;       // SIGPIPE ignored instead of at its default
    unsigned long long memoryLimit = 0;  // RLIMIT_AS in bytes; 0 leaves it as it is
    bool ownTerminal = false;  // a session of its own, descriptor 0 its controlling terminal
};

// Starts the child in a process group of its own, so that ending the group
// also ends whatever a wrapper such as valgrind started.  Core dumps are off.
pid_t start(const Launch& launch);

struct RunResult {
    bool timedOut = false;
    int exitStatus = -1;  // -1 when the process did not exit normally
    int signal = 0;
};

RunResult resultOf(int waitStatus);

// Waits for the child to end; at the deadline its group is killed.
RunResult awaitEnd(pid_t pid, Deadline deadline);

// Ends the child's group now and collects it.
RunResult killAndCollect(pid_t pid);

// Runs argv with standard input from inputPath and standard output into
// outputPath (created if need be); standard error stays the runner's.
RunResult runWithFiles(const std::vector<std::string>& argv, const Environment& environment,
                       const fs::path& inputPath, const fs::path& outputPath,
                       double timeoutSeconds);

std::string describeEnd(const RunResult& result, double timeoutSeconds);
bool endedWell(const RunResult& result);

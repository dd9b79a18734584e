// Starting a program under check, feeding it, watching it and ending it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// An open descriptor, closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd(fd) {}
    Fd(Fd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Fd& operator=(Fd other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    ~Fd();
    int get() const { return fd; }

private:
    int fd;
};

// A pipe: its reading end, then its writing end, both closed on exec.
std::pair<Fd, Fd> makePipe();

// A file in memory that holds the bytes, read from its start (closed on exec).
Fd memoryFile(const std::string& bytes);

// What an open file holds, from its start.
std::string readAll(const Fd& file);

// The program could not be started at all (no such file, not executable).
struct CannotStart : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Caps on what a program may take while it runs; 0 leaves it uncapped.
struct Caps {
    unsigned processes = 0;              // processes at once, the program's own among them
    unsigned long long memoryBytes = 0;  // each process's data and stack (RLIMIT_DATA)
    // The levels of processes at the top that are not the program's but
    // those of the tool that confines it: neither counted nor watched.
    int confinerLevels = 0;
};

// How a program is started: its descriptors 0, 1 and 2 are the given ones
// of the checker, or closed for -1.
struct Launch {
    explicit Launch(std::vector<std::string> command, int input = -1, int output = -1,
                    int errors = 2)
        : argv(std::move(command)), input(input), output(output), errors(errors) {}
    std::vector<std::string> argv;
    std::vector<std::pair<std::string, std::string>> environment;
    int input, output, errors;
    bool ignoreBrokenPipe = false;       // SIGPIPE ignored instead of at its default
    unsigned long long memoryLimit = 0;  // RLIMIT_AS in bytes; 0 leaves it as it is
    bool ownTerminal = false;  // a session of its own, descriptor 0 its controlling terminal
    bool onlyGivenEnvironment = false;     // environment holds nothing but the given variables
    unsigned long long fileSizeLimit = 0;  // RLIMIT_FSIZE in bytes; 0 leaves it as it is
    Caps caps;
};

// Starts the program in a session and process group of its own, without
// core dumps, and without a controlling terminal unless ownTerminal;
// whatever it leaves behind is ended with it (endLeftovers).  Throws CannotStart
// when the command cannot be executed.
pid_t start(const Launch& launch);

struct RunResult {
    bool timedOut = false;
    int exitStatus = -1;  // -1 when the process did not exit normally
    int signal = 0;
    std::string overCap;  // why it was stopped at a cap ("started more than 64 processes")

    bool endedWell() const { return !timedOut && overCap.empty() && exitStatus == 0; }
    // "did not end within 5 s", "was killed by signal 11 (Segmentation
    // fault)", "exited with status 3", "was stopped: it started more than
    // 64 processes"
    std::string describe(double timeoutSeconds) const;
};

// Why the program and what it started went over their caps, or "" while
// they keep within them.
std::string overCaps(pid_t program, const Caps& caps);

// A small file of /proc, or "" when it is gone (the thread has ended) or
// cannot be read: a process is unreadable for a moment as it starts another
// program, or as bubblewrap starts one in its namespaces.
std::string procFile(const std::string& path);

// The numbers a text begins with, up to the first word that is not one.
std::vector<long long> numbersIn(const std::string& text);

// The threads of a process (none once it is gone).
std::vector<long> threadsOf(long pid);

// The program's process and every process below it, with its depth (0 for
// the program's), found through each thread's list of children, so that a
// process in a session of its own is still found; at most about 4096.
std::vector<std::pair<long, int>> processTree(pid_t program);

// A folder that what the checker starts may write in, emptied once each run
// has ended; "" for none.
void setScratch(const std::string& folder);

// Ends every process the program started and left behind, wherever it went
// (a session of its own, a daemon's double fork): the checker is their
// subreaper.  Called whenever a program has ended or been killed, so that
// nothing it started outlives its run.  The checker runs one program at a
// time.
void endLeftovers();

// Kills the program's process group and collects the program, and ends
// whatever it left behind.
RunResult killAndCollect(pid_t pid);

using Deadline = std::chrono::time_point<std::chrono::steady_clock, std::chrono::duration<double>>;
Deadline deadlineIn(double seconds);

// Watches the program until it ends, or until the deadline or a cap, when
// its group is killed.  In between, meanwhile() runs over and over, and
// should take about a millisecond each time; once it returns true the
// program is left running and nothing is returned.
std::optional<RunResult> watch(pid_t pid, Deadline deadline, const std::function<bool()>& meanwhile,
                               const Caps& caps = {});

// Runs the program to its end.
RunResult run(const Launch& launch, double timeoutSeconds);

// Reads what a non-blocking descriptor holds for now into `kept`, keeping
// its first `limit` bytes and dropping the rest.
void drainInto(int fd, std::string& kept, std::size_t limit);

// Runs the program with the input through a pipe and its standard output
// into another, kept in *output (at most outputLimit bytes of it; the rest
// is read and dropped, so that a program printing without end is still
// stopped by the timeout), or on /dev/null when output is null.  With
// errors, its standard error goes into a pipe too, and the first
// errorsLimit bytes of it into *errors.
RunResult runPiped(Launch launch, const std::string& input, double timeoutSeconds,
                   std::string* output, std::size_t outputLimit = std::size_t{64} << 20,
                   std::string* errors = nullptr, std::size_t errorsLimit = 4096);

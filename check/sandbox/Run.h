// A run watched to its end: fed, drained, stopped at its timeout, and
// stopped when its processes together go over the caps.  The kernel holds
// each process to its limits (Supervisor.h); the caps are for the run as a
// whole, which only the sum over its processes shows.
#pragma once

#include <poll.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "sandbox/Process.h"
#include "sandbox/Runner.h"

// What a run's processes may take together; 0 leaves one uncapped.
struct Caps {
    unsigned tasks = 0;                  // processes and threads at once
    unsigned long long memoryBytes = 0;  // their memory in use, shared memory included
    // The cap on memory as the user set it, which also holds what a run
    // writes (memoryBytes is what is left of it for the processes).
    unsigned long long memoryShown = 0;
};

struct RunResult {
    bool timedOut = false;
    int exitStatus = -1;  // -1 when the process did not exit normally
    int signal = 0;
    std::string overCap;  // the cap it was stopped at ("its cap of 64 processes and threads")

    bool endedWell() const { return !timedOut && overCap.empty() && exitStatus == 0; }
    // "did not end within 5 s", "was killed by signal 11 (Segmentation
    // fault)", "exited with status 3", "was stopped at
    // its cap of 64 processes and threads (--max-tasks)"
    std::string describe(double timeoutSeconds) const;
};

// Why the processes together are over the caps, or "" while they keep within.
std::string overCaps(const std::vector<std::pair<long, int>>& processes, const Caps& caps);

// Ctrl-C or a request to end (SIGINT, SIGTERM), once asked for: every run
// being watched is stopped at once, with all its processes, and Watch
// throws Interrupted.
void endRunsOnInterrupt();
struct Interrupted : std::runtime_error {
    Interrupted() : std::runtime_error("interrupted") {}
};
bool interruptRequested();

// One run on a runner, from its start to its end.
class Watch {
public:
    Watch(Runner& runner, double timeoutSeconds, const Caps& caps);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // Waits up to the time for the run's events or for the descriptors
    // given (their revents filled in), then handles the events; stops the
    // run once past its deadline or over a cap.
    void wait(std::vector<pollfd>& more, std::chrono::microseconds most);
    bool ended() const { return done; }
    // Whether the run told that it may be waiting for input, since asked last.
    bool takeMayWait();
    // Stops the run now and waits for its end.
    void stopNow();
    const RunResult& result() const { return outcome; }
    Runner& runner() { return on; }

private:
    void step(std::vector<pollfd>& more, std::chrono::microseconds most);
    void checkCaps();

    Runner& on;
    Deadline deadline;
    Caps caps;
    Deadline nextCapsCheck;
    bool done = false, mayWait = false;
    std::string stoppedFor;  // a cap, once the run was stopped at one
    bool stoppedAtTimeout = false;
    RunResult outcome;
};

// A program as a check runs it: on which runner, what, and within what caps.
struct Program {
    Runner* runner;
    RunRequest request;
    Caps caps;
};

// Runs to its end with the input through a pipe, its standard output kept
// in *output (the first outputLimit bytes; the rest is read and dropped, so
// that a program printing without end still meets its timeout), or sent to
// /dev/null when output is null; the first errorsLimit bytes of its
// standard error in *errors, or /dev/null.
RunResult runPiped(Runner& runner, const RunRequest& request, const std::string& input,
                   double timeoutSeconds, std::string* output, std::size_t outputLimit,
                   std::string* errors = nullptr, std::size_t errorsLimit = 4096,
                   const Caps& caps = {});

// Runs to its end on the descriptors given.
RunResult runOn(Runner& runner, const RunRequest& request, int input, int output, int errors,
                double timeoutSeconds, const Caps& caps = {});

// The environment of this process, with the variables given set over it.
std::vector<std::pair<std::string, std::string>> environmentWith(
    const std::vector<std::pair<std::string, std::string>>& more = {});

// What starts each run of a version and ends it: inside the version's
// sandbox, a supervisor of the checker's own (started once per version,
// driven over a Channel), or the checker itself for programs it trusts (the
// lesson's own, the project's tests).
//
// Inside a sandbox every run is on its own: it gets PID, mount and IPC
// namespaces of its own, so that its processes all end with it and see none
// of the supervisor's; a fresh writable copy of the version's folders (an
// overlay on the staged copy, in memory); its own /tmp and /dev/shm, all of
// them in one tmpfs whose size caps what it may write; the limits; and no
// capabilities.  What it writes is gone when it ends.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/Channel.h"
#include "sandbox/Process.h"

// What one run may take, each enforced by the kernel (0 leaves one as it is).
struct Limits {
    unsigned tasks = 0;                    // processes and threads at once (RLIMIT_NPROC)
    unsigned long long memoryBytes = 0;    // each process's data (RLIMIT_DATA)
    unsigned files = 0;                    // open files of each process (RLIMIT_NOFILE)
    unsigned long long writableBytes = 0;  // all it writes: its folders, /tmp, /dev/shm
};

// How runs are started, fixed for a supervisor's life.
struct Setup {
    // Each run in namespaces of its own, with fresh copies: inside a sandbox.
    bool namespaced = false;
    // The version's own folders: each staged copy, and where the run sees
    // it (writable, afresh each run).  Without namespaces the run sees each
    // in a fresh copy at the staged path's side instead.
    std::vector<std::pair<std::string, std::string>> own;
    // Files and folders shown read-only that each run puts in place itself,
    // in its own /tmp: where they are inside the sandbox, and where seen.
    std::vector<std::pair<std::string, std::string>> shown;
    std::string buildFolder;  // where a build writes; read-only to other runs ("" for none)
    std::string hidden;       // the supervisor's own folder, which no run sees
    Limits limits;
    // Processes a run's tasks share their user with (the sandbox's own),
    // added to the cap on tasks.
    unsigned tasksAlready = 0;
    int runUser = -1,
        runGroup = -1;  // the user and group a run runs as, or -1 for the supervisor's
};

struct RunRequest {
    std::vector<std::string> argv;
    std::vector<std::pair<std::string, std::string>> environment;  // all it gets
    std::string folder;                   // where it runs ("" for the supervisor's own folder)
    bool terminal = false;                // descriptor 0 is a terminal, to be its controlling one
    bool watchInput = false;              // tell when it may be waiting for input
    bool build = false;                   // may write in the build folder
    bool ignoreBrokenPipe = false;        // SIGPIPE ignored (a harness check of a reader gone)
    unsigned long long addressSpace = 0;  // RLIMIT_AS in bytes, or 0 (a harness check)
};

Message toMessage(const RunRequest& request);
RunRequest requestFrom(const Message& message);
Message toMessage(const Setup& setup);
Setup setupFrom(const Message& message);

struct RunEvent {
    enum Kind { MayWait, Ended } kind;
    int waitStatus = 0;  // for Ended, as waitpid gives it
};

class Supervisor {
public:
    explicit Supervisor(Setup setup);
    ~Supervisor();
    Supervisor(const Supervisor&) = delete;
    Supervisor& operator=(const Supervisor&) = delete;

    // Starts a run on the descriptors, which become its 0, 1 and 2 (they
    // may be the same).  Throws CannotStart when its program cannot be run.
    void start(const RunRequest& request, int input, int output, int errors);
    bool running() const { return top > 0; }
    // The descriptors to wait on for the run's events.
    std::vector<int> watched() const;
    // Handles whatever is ready; the events that came of it.
    std::vector<RunEvent> handle();
    // Ends the run now: every process of it.  An Ended event follows.
    void stop();
    // The run's topmost process, in this process's PID namespace: its
    // program, or in a namespace of its own the process that starts it.
    pid_t topProcess() const { return top; }

    // In namespaces: makes the next run's namespaces and mounts ahead of
    // its request, unless they are made; and drops them unused.  Throws
    // std::runtime_error when they cannot be made.
    void prepareSpare();
    void dropSpare();

private:
    // Starts the run and returns the pipe that tells why its program could
    // not start, if it could not.
    Fd startHere(const RunRequest& request, int input, int output, int errors);
    Fd startFromSpare(const RunRequest& request, int input, int output, int errors);
    void takeListener();
    void answerNotifications();
    std::vector<RunEvent> collect();
    void freshCopies();

    Setup setup;
    void forgetRun();
    void collectEnding();

    // A run's first process, waiting for its request, and its ends of the
    // run's channels: where it is sent the request, why the program could
    // not start, the seccomp listener, the program's status.
    struct Spare {
        pid_t top;
        Fd order, why, listener, status;
    };
    std::optional<Spare> spare;

    pid_t top = -1;
    // The processes above runs already told over, on their way out.
    std::vector<pid_t> ending;
    Fd topHandle;       // a pidfd of the topmost process
    Fd listenerSocket;  // where the program hands over its seccomp listener
    Fd listener;        // seccomp's notifications of the run's input calls
    Fd statusIn;        // in namespaces: the program's wait status, from the process above it
};

// The supervisor's life inside a sandbox: reads a Setup, then runs, over the
// channel on the descriptor, until the channel closes.  Returns the exit
// status for main.
int supervise(int channel);

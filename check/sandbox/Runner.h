// Where a check's runs happen, as the checker sees them: a run is started
// on descriptors the checker made, its events come on descriptors to wait
// on, and it can be stopped at any moment.  A ConfinedRunner starts every run
// of a version inside one bubblewrap sandbox, through the supervisor there;
// a LocalRunner starts runs itself, unconfined, for programs the checker
// trusts and where no sandbox can be had.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/Supervisor.h"

class Runner {
public:
    virtual ~Runner() = default;
    // Starts a run; its descriptors 0, 1 and 2 are these (closed by the
    // caller afterwards).  Throws CannotStart when its program cannot run.
    virtual void start(const RunRequest& request, int input, int output, int errors) = 0;
    virtual bool running() const = 0;
    // The descriptors that become readable when the run has an event.
    virtual std::vector<int> watched() const = 0;
    // The events that have come, without waiting.
    virtual std::vector<RunEvent> handle() = 0;
    // Ends the run now, with every process of it; an Ended event follows.
    virtual void stop() = 0;
    // The run's processes as this machine's /proc shows them, each with its
    // depth below the program's own process (0), found through each
    // thread's children.
    virtual std::vector<std::pair<long, int>> processes() const = 0;
    // Whether a MayWait event comes when the program may be waiting for
    // input; without them, a wait is found by looking alone.
    virtual bool tellsOfWaits() const = 0;
    // The cap the kernel held the run to since asked last, named as the
    // reports name it, where the kernel counts the run as a whole (a
    // cgroup); else "".
    virtual std::string overCap() { return ""; }
};

// Runs programs itself: the lesson's own, the project's tests, and a
// version where no sandbox can be had (see Setup for what still holds).
class LocalRunner : public Runner {
public:
    explicit LocalRunner(Setup setup = {});
    void start(const RunRequest& request, int input, int output, int errors) override;
    bool running() const override { return supervisor.running(); }
    std::vector<int> watched() const override { return supervisor.watched(); }
    std::vector<RunEvent> handle() override { return supervisor.handle(); }
    void stop() override { supervisor.stop(); }
    std::vector<std::pair<long, int>> processes() const override;
    bool tellsOfWaits() const override { return true; }

private:
    Supervisor supervisor;
};

// What a version's sandbox shows, besides the system's programs and
// libraries, and how its runs are capped.
struct SandboxPlan {
    // The version's own folders: staged copy → where the version sees it,
    // writable afresh in every run.  The first is where it runs.
    std::vector<std::pair<std::string, std::string>> own;
    // More files and folders it sees read-only: host path → where seen.
    std::vector<std::pair<std::string, std::string>> shown;
    // Symbolic links to make, after the shown ones: where, and what to.
    std::vector<std::pair<std::string, std::string>> links;
    // What it must not see even inside the folders shown: the lessons' own
    // programs and cases.
    std::vector<std::string> masked;
    Limits limits;
    // All the memory of a run together, what it writes included: held by a
    // cgroup where one can be had (0 for none).
    unsigned long long memoryCap = 0;
    // The checker runs as root: the sandbox's runs get an unprivileged user.
    bool asRoot = false;
    // No namespaces can be had: the supervisor runs unconfined, each run in
    // fresh copies of the version's files, as `unconfined` sets them up.
    bool unconfined = false;
    Setup unconfinedSetup;
};

class SandboxCgroup;

// Starts every run of a version through a supervisor of its own: inside one
// bubblewrap sandbox, or, where no sandbox can be had, unconfined, as a
// process that outlives the checker only to end what the runs left.
class ConfinedRunner : public Runner {
public:
    // The sandbox starts with the first run.  `supervisorProgram` is the
    // program that supervises inside it (lessons-check itself).
    ConfinedRunner(SandboxPlan plan, std::string bwrap, std::string supervisorProgram);
    ~ConfinedRunner() override;
    void start(const RunRequest& request, int input, int output, int errors) override;
    bool running() const override { return runGoing; }
    std::vector<int> watched() const override;
    std::vector<RunEvent> handle() override;
    void stop() override;
    std::vector<std::pair<long, int>> processes() const override;
    bool tellsOfWaits() const override { return true; }
    std::string overCap() override;

    // Where the version's build writes, inside the sandbox.
    static constexpr const char* BUILD_FOLDER = "/run/build";

private:
    void startSandbox();
    void endSandbox();

    Setup setupOfSupervisor() const;
    std::vector<std::string> argumentsOfSupervisor() const;

    SandboxPlan plan;
    std::string bwrap, supervisorProgram;
    std::unique_ptr<SandboxCgroup> cgroup;  // where the machine gives one
    bool cgroupTried = false;
    pid_t sandbox = -1;  // bubblewrap's own process, or the unconfined supervisor
    Fd channel, errors;  // to the supervisor; bubblewrap's own messages
    bool runGoing = false;
    // The run's program as this machine's /proc shows it, once found.
    mutable pid_t runsProgram = -1;
};

// Why bubblewrap cannot make a sandbox here, in a few words ("" when it can).
std::string whyNoSandbox(const std::string& bwrap);

// The argument that makes a program the supervisor of its sandbox, given
// the channel's descriptor after it.
constexpr const char* SUPERVISE = "--supervise-sandbox";

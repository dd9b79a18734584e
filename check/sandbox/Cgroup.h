// A cgroup of its own for one version's sandbox, where the machine gives one
// to the checker.  The kernel then counts every process and thread of the
// sandbox together, and all the memory they use together: tmpfs files and
// shared memory are charged to the cgroup that writes them.  It refuses a
// fork past the task cap and kills past the memory cap by itself, between
// two of the checker's looks.
//
// Where none can be had, the sandbox keeps what holds everywhere: rlimits
// inside the user namespace, sized tmpfs mounts and the checker's polling of
// /proc (Supervisor.h, Run.h).
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

// Where the process's own cgroups lie, as its /proc/self/mountinfo and
// /proc/self/cgroup tell: folders under the mounted hierarchies, "" where
// there is none.
struct CgroupPlaces {
    // cgroup v2: the folder the process is in, or the one above when it sits
    // in the leaf SandboxCgroup made for it.
    std::string unified;
    std::string memory, pids;  // cgroup v1, one hierarchy for each controller
};

CgroupPlaces cgroupPlaces(const std::string& mountinfo, const std::string& ownCgroups);

// The caps a sandbox's cgroup holds, 0 leaving one unbounded.
struct CgroupCaps {
    unsigned long long memoryBytes = 0;  // all its memory, tmpfs and shared memory included
    unsigned tasks = 0;                  // a run's processes and threads at once
    // The sandbox's own processes above each run, let in besides the cap.
    unsigned sandboxTasks = 0;
};

class SandboxCgroup {
public:
    // A new cgroup under the checker's own with the caps set, or null when
    // none can be had here, with why in a few words in *whyNot.
    static std::unique_ptr<SandboxCgroup> make(const CgroupCaps& caps, std::string* whyNot);
    // Kills what is left in it and removes it.
    ~SandboxCgroup();
    SandboxCgroup(const SandboxCgroup&) = delete;
    SandboxCgroup& operator=(const SandboxCgroup&) = delete;

    // Moves a process in, 0 for the calling one; all it starts afterwards
    // is in too.  Fit for a child between fork and exec: it allocates
    // nothing.
    bool join(pid_t pid = 0) const;
    // The cap the kernel held the processes to since the last call, named
    // as the checker names it ("its cap of 64 processes and threads
    // (--max-tasks)"), or "".
    std::string overCap();
    // Ends every process in it; returns when none is left, or after a few
    // seconds.
    void killAll();
    std::vector<pid_t> processes() const;
    std::string kind() const { return unified ? "cgroup v2" : "cgroup v1"; }
    // Its folders: one in cgroup v2, the memory and the pids ones in v1.
    const std::vector<std::string>& folders() const { return where; }

private:
    SandboxCgroup(bool unified, const CgroupCaps& caps) : unified(unified), caps(caps) {}
    static std::unique_ptr<SandboxCgroup> makeUnified(const std::string& parent,
                                                      const CgroupCaps& caps, std::string* whyNot);
    static std::unique_ptr<SandboxCgroup> makeSplit(const CgroupPlaces& places,
                                                    const CgroupCaps& caps, std::string* whyNot);
    bool add(const std::string& parent, std::string* whyNot);
    bool killRound();

    bool unified;
    CgroupCaps caps;
    std::vector<std::string> where;
    std::vector<std::string> procsFiles;                   // made beforehand, for join after a fork
    unsigned long long tasksRefused = 0, memoryStops = 0;  // the kernel's counts, seen last
};

// How a version is kept from the machine it runs on, and what it sees: the
// system's programs and libraries, and its own files, copied; never the
// user's home, another version, the lessons' own programs or their cases.
// Every run of it is on its own (Supervisor.h), within the caps.
//
// Where bubblewrap cannot make a sandbox (it is missing, or the kernel or a
// container forbids namespaces), a version may still run unconfined, in a
// fresh copy of its files, when the caller allows it: that is all that
// holds then, and the caller says so first.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sandbox/HandIn.h"
#include "sandbox/Run.h"
#include "sandbox/Staging.h"

struct ConfinementPlan {
    Limits limits;  // each process of each run
    Caps caps;      // each run's processes together
    // The lessons' own programs and cases: never seen by a version.
    std::vector<std::string> masked;
    // Where bubblewrap works ("" for nowhere), as found once.
    std::string bwrap;
    std::string supervisorProgram;  // lessons-check itself, which supervises inside
};

// The caps a version runs under unless options set others.
constexpr unsigned DEFAULT_TASKS = 64;
// A 16th of the machine's memory, and at least 1024 MiB: Java takes a 64th
// as it starts.
unsigned long long defaultMemoryMiB();
// The limits on each process and the caps on a run, from the caps on
// memory and tasks.
ConfinementPlan planWithCaps(unsigned tasks, unsigned long long memoryBytes);

// One version's staged files and the runner of its runs.
class Confinement {
public:
    // A single check: the command as given, run in the folder lessons-check
    // runs in, which the version sees (a copy) unless it is shared (the
    // home, a folder holding it, a folder of temporary files); and the
    // files the command names, each a copy, read-only.
    static std::unique_ptr<Confinement> forCommand(const std::vector<std::string>& command,
                                                   const ConfinementPlan& plan);
    // A class check: the version's folder, or its file alone in its folder,
    // taken whole as given; its program (HandIn.h) runs in that folder.
    // Throws NoVersion.
    static std::unique_ptr<Confinement> forVersion(const std::string& version,
                                                   const std::string& lesson,
                                                   const ConfinementPlan& plan);

    Program& program() { return runs; }
    // The words a report shows for what is checked: the build's, then the
    // program's.
    std::vector<std::string> shownCommand() const;
    // Every file of the version's copied for it: as named, and the copy.
    const std::vector<std::pair<std::filesystem::path, std::filesystem::path>>& files() const;
    // The file on this machine that runs as the version's program, or "".
    const std::string& versionsProgram() const { return ownProgram; }
    // Builds the version's sources in its sandbox, when it has sources to
    // build; "" when it has not or they built, else why not, with the
    // compiler's first lines in *said.
    std::string build(double timeoutSeconds, std::string* said);
    // What to tell the user of how the version was shown ("" for nothing).
    const std::string& note() const { return told; }
    bool confined() const { return sandboxed; }

private:
    Confinement(const ConfinementPlan& plan);
    void startRunner(const std::vector<std::pair<std::string, std::string>>& own,
                     std::vector<std::pair<std::string, std::string>> shown,
                     const std::string& folder);
    // Resolves the interpreters the command and the build start (Interpreters.h).
    void resolveInterpreters(const std::string& versionFiles);
    // The folders of the interpreters shown: what is in them is not copied.
    std::vector<std::string> directories() const;
    // A file the command names is a copy, not shown as it is.
    void dropInterpreterFiles(const std::vector<std::filesystem::path>& copied);

    const ConfinementPlan& plan;
    std::unique_ptr<Staging> staging;
    std::unique_ptr<Runner> runner;
    Program runs{nullptr, {}, {}};
    std::vector<std::string> building;  // the build's command, when there are sources
    std::string ownProgram;
    // What the interpreters need: shown read-only, links made, PATH inside.
    std::vector<std::string> interpreterFiles;
    std::vector<std::pair<std::string, std::string>> interpreterLinks;
    std::string pathInside;
    std::vector<std::pair<std::string, std::string>> interpreterVariables;
    std::string told;
    bool sandboxed = false;
};

// The bubblewrap program, when it can make a sandbox here; else "" and why
// not, in a few words.
std::string workingBubblewrap(std::string& whyNot);

// What the runner's modes (see case_runner.cpp) share: their options, and
// the checker's own way of starting and watching a program (check/).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "cases/ExpectedText.h"
#include "cases/Lesson.h"
#include "report/ProblemText.h"
#include "sandbox/Process.h"
#include "sandbox/Run.h"
#include "verdict/CaseCheck.h"

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

// Where the runner runs every program: itself, unconfined, as it trusts
// the programs it tests.
inline Runner& localRunner() {
    static LocalRunner runner;
    return runner;
}

// The program and its arguments, behind the wrapper (an emulator, or
// valgrind), in this process's environment.
inline Program localProgram(const std::vector<std::string>& command, const Options& options) {
    Program program{&localRunner(), {}, {}};
    program.request.argv = options.wrapper;
    program.request.argv.insert(program.request.argv.end(), command.begin(), command.end());
    program.request.environment = environmentWith();
    return program;
}

int transcript(const Options& options);
int session(const Options& options);
int abuse(const Options& options);
int failingOutputs(const Options& options);
int memoryRunsOut(const Options& options);

// The runner's modes (documented in case_runner.cpp) and the options they share.
#pragma once

#include <string>
#include <vector>

#include "process.h"

struct Options {
    bool quick = false;
    double timeoutSeconds = 5;
    std::vector<std::string> wrapper;
    std::string clock;
    std::string clockLibrary;
    std::string waits;
    unsigned long long memoryLimitMegabytes = 300;
    std::vector<std::string> positional;
};

// Exit status of a case that could not run here, for ctest's SKIP_RETURN_CODE.
constexpr int SKIPPED = 77;

// The environment that stops the program's clock, as --clock asks.  Sets
// skipStatus (and says why) when libfaketime is missing: then the case is
// skipped, or fails where LESSONS_CI is set.
Environment clockEnvironment(const Options& options, int& skipStatus);

int transcript(const Options& options);
int abuse(const Options& options);
int session(const Options& options);
int failingOutputs(const Options& options);
int memoryRunsOut(const Options& options);

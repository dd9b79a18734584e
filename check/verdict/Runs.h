// The runs of one version that the checks of its cases need, each made
// once: a run is fixed by its input, through a pipe or typed with the input
// ended at a given wait, and every case that needs the same one shares it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sandbox/Run.h"
#include "terminal/Session.h"

class VersionRuns {
public:
    VersionRuns(Program& program, double timeoutSeconds) : runs(program), timeout(timeoutSeconds) {}

    struct Piped {
        RunResult result;
        std::string output;  // its first outputLimit bytes
        std::string errors;  // the first part of its standard error
        std::size_t outputLimit = 0;
    };
    // The input through a pipe, its output kept up to the limit.
    const Piped& piped(const std::string& input, std::size_t outputLimit);

    // The first `count` lines typed at a terminal, with echo, then the input
    // ended.
    const TypedRun& endedAt(const std::vector<std::string>& lines, std::size_t count,
                            std::size_t outputLimit);

    // Every line typed, with echo, each wait's screen handed to atWait as it
    // comes: a run of the case's own, never shared.
    TypedRun typedWhole(const std::vector<std::string>& lines, std::size_t outputLimit,
                        const std::function<void(std::size_t, const Screen&)>& atWait);

    Program& program() { return runs; }
    double timeoutSeconds() const { return timeout; }

private:
    Program& runs;
    const double timeout;
    std::map<std::string, Piped> pipedRuns;
    std::map<std::string, TypedRun> typedRuns;
};

#include "verdict/Runs.h"

namespace {

// The first lines, joined, as they are typed.
std::string firstLines(const std::vector<std::string>& lines, std::size_t count) {
    std::string typed;
    for (std::size_t i = 0; i < count && i < lines.size(); ++i) {
        typed += lines[i];
    }
    return typed;
}

}  // namespace

const VersionRuns::Piped& VersionRuns::piped(const std::string& input, std::size_t outputLimit) {
    const auto known = pipedRuns.find(input);
    // A run kept to a smaller limit will do if its output stopped short of it.
    if (known != pipedRuns.end() && (known->second.outputLimit >= outputLimit ||
                                     known->second.output.size() < known->second.outputLimit)) {
        return known->second;
    }
    Piped run;
    run.outputLimit = outputLimit;
    run.result = runPiped(*runs.runner, runs.request, input, timeout, &run.output, outputLimit,
                          &run.errors, 4096, runs.caps);
    return pipedRuns[input] = std::move(run);
}

const TypedRun& VersionRuns::endedAt(const std::vector<std::string>& lines, std::size_t count,
                                     std::size_t outputLimit) {
    // Typing "3\n" then ending differs from typing "3" and ending there.
    const std::string key = firstLines(lines, count) + "\x04";
    const auto known = typedRuns.find(key);
    if (known != typedRuns.end()) {
        return known->second;
    }
    Typing typing;
    typing.outputLimit = outputLimit;
    return typedRuns.emplace(key, typeLines(runs, lines, count, timeout, typing)).first->second;
}

TypedRun VersionRuns::typedWhole(const std::vector<std::string>& lines, std::size_t outputLimit,
                                 const std::function<void(std::size_t, const Screen&)>& atWait) {
    Typing typing;
    typing.outputLimit = outputLimit;
    typing.atWait = atWait;
    return typeLines(runs, lines, lines.size(), timeout, typing);
}

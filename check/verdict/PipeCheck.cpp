#include "verdict/CaseCheck.h"

Problems checkThroughPipe(Program& program, const std::string& input, const Expected& expected,
                          double timeoutSeconds) {
    std::string output, errors;
    // Enough to show the first line that differs, whatever the program
    // prints: the checker's own memory stays small.
    const std::size_t limit = expected.text.size() + (std::size_t{64} << 10);
    const RunResult result = runPiped(*program.runner, program.request, input, timeoutSeconds,
                                      &output, limit, &errors, ERRORS_KEPT, program.caps);
    Problems problems;
    if (!result.endedWell()) {
        problems.add(
            withErrors("through a pipe, the program " + result.describe(timeoutSeconds), errors));
    }
    if (const std::string difference = expected.differenceFrom(output); !difference.empty()) {
        problems.add(withErrors("through a pipe, " + difference, problems.none() ? errors : ""));
    }
    problems.output = std::move(output);
    return problems;
}

std::string withErrors(const std::string& problem, const std::string& errors) {
    if (errors.empty()) {
        return problem;
    }
    constexpr std::size_t SHOWN = 200;
    return problem + "\n  standard error: " + quoted(errors.substr(0, SHOWN)) +
           (errors.size() > SHOWN ? "..." : "");
}

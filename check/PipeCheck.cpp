#include "CaseCheck.h"

Problems checkThroughPipe(const Launch& launch, const std::string& input, const Expected& expected,
                          double timeoutSeconds) {
    std::string output;
    // Far more than any case prints, yet little enough memory.
    const std::size_t limit = expected.text.size() + (std::size_t{16} << 20);
    const RunResult result = runPiped(launch, input, timeoutSeconds, &output, limit);
    Problems problems;
    if (!result.endedWell()) {
        problems.add("through a pipe, the program " + result.describe(timeoutSeconds));
    }
    if (const std::string difference = expected.differenceFrom(output); !difference.empty()) {
        problems.add("through a pipe, " + difference);
    }
    return problems;
}

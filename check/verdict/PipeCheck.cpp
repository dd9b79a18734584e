// The check of a case through a pipe: the output byte for byte (line by
// line where the case has placeholders), and a good end.
#include <algorithm>

#include "verdict/CaseCheck.h"

namespace {

// What makes two differences in two cases the same mistake: the bytes on
// either side of where the first differing line parts (a blank missing
// after the same prompt), wherever that line is.
std::string keyOf(const std::string& where, const DifferingLine& line) {
    if (line.parting == std::string::npos || line.parting < line.from) {
        return where + "|" + std::to_string(line.number) + "|" + line.expected + "|" + line.actual;
    }
    const std::size_t at = line.parting - line.from;
    const std::size_t from = at > 16 ? at - 16 : 0;
    return where + "|" + line.expected.substr(from, at - from + 2) + "|" +
           line.actual.substr(from, at - from + 2);
}

}  // namespace

Problems checkThroughPipe(VersionRuns& runs, const std::string& input, const Expected& expected,
                          std::string* output) {
    // Enough to show the lines that differ, whatever the program prints:
    // the checker's own memory stays small.
    const VersionRuns::Piped& run =
        runs.piped(input, expected.text.size() + (std::size_t{64} << 10));
    Problems problems;
    if (!run.result.endedWell()) {
        Problem ended;
        ended.what = "through a pipe, the program " + run.result.describe(runs.timeoutSeconds());
        ended.errors = run.errors;
        ended.key = "pipe-end|" + ended.what;
        problems.add(ended);
    }
    if (std::vector<DifferingLine> lines = expected.differences(run.output, true); !lines.empty()) {
        Problem differs;
        differs.what = "through a pipe, the output differs from the case's";
        // Past what was kept the output is unknown, not ended.
        const bool cut = run.output.size() >= run.outputLimit;
        if (cut) {
            lines.erase(
                std::remove_if(lines.begin(), lines.end(),
                               [](const DifferingLine& line) { return line.actualMissing; }),
                lines.end());
            differs.details.push_back("the output ran on past " + std::to_string(run.outputLimit) +
                                      " bytes, where the checker stopped reading it");
        }
        differs.key = cut && lines.empty() ? "pipe-cut" : keyOf("pipe", lines.front());
        differs.lines = std::move(lines);
        if (problems.none()) {
            differs.errors = run.errors;
        }
        problems.add(differs);
    }
    if (output != nullptr) {
        *output = run.output;
    }
    return problems;
}

// The two ways a case is checked against a program: its input through a
// pipe, and typed at a terminal a line at each wait.  lessons-check and the
// project's own tests (tests/harness/case_runner.cpp) both check through
// these.
#pragma once

#include <string>
#include <vector>

#include "cases/Expected.h"
#include "report/Results.h"
#include "verdict/Runs.h"

// What a check found wrong, each problem as the reports show it.
struct Problems {
    std::vector<Problem> found;
    void add(Problem problem) { found.push_back(std::move(problem)); }
    bool none() const { return found.empty(); }
};

// Runs the case's input through a pipe: the program must end within the
// timeout with status 0 and print the expected output.  What it printed is
// left in *output.
Problems checkThroughPipe(VersionRuns& runs, const std::string& input, const Expected& expected,
                          std::string* output = nullptr);

// The input cannot be typed at a terminal as it is (a control byte, a line
// longer than a terminal holds); why, in a sentence.
struct NotTypable {
    std::string why;
};

// The lines of the input, each with its newline (the last may have none),
// as they are typed.  Throws NotTypable.
std::vector<std::string> typedLines(const std::string& input);

// Where the lesson's own program waits in a case: at each wait, how far
// into the expected output (its text, placeholders and all) it has shown.
struct LessonWaits {
    std::vector<std::size_t> at;
};

// Types the case at the lesson's own program, a line at each wait, with
// the screen as its bytes alone: at every wait the screen must be how the
// expected output begins and end with one of `waitTexts`, the prompts; at
// the end it must be the expected output, with status 0.  What it finds is
// where the program waits, in *learned.
Problems learnWaits(Program& lesson, const std::vector<std::string>& lines,
                    const Expected& expected, const std::vector<std::string>& waitTexts,
                    double timeoutSeconds, LessonWaits& learned);

// Types the case at the program, a line at each wait, and compares what a
// person would see with what they would see of the lesson's own program:
// at each wait the same screen (the cursor too), the expected output up to
// where the lesson waits there with each typed line echoed; at the end
// the whole expected output, with status 0.  With endAtEveryWait the input
// is also ended (Ctrl-D) at each wait, in a run of its own: the program
// must then end at once with status 0 and show what a pipe run of the same
// lines prints.
Problems checkAtTerminal(VersionRuns& runs, const std::vector<std::string>& lines,
                         const Expected& expected, const LessonWaits& lesson, bool endAtEveryWait);

// The two ways a case is checked against a program: its input through a
// pipe, and typed at a terminal a line at each wait.  lessons-check and the
// project's own tests (tests/harness/case_runner.cpp) both check through
// these.
#pragma once

#include <string>
#include <vector>

#include "cases/Expected.h"
#include "sandbox/Run.h"

// What a check found wrong, each problem told in a few lines.
struct Problems {
    std::vector<std::string> found;
    std::string output;  // what the program printed through a pipe, for a report to show
    void add(const std::string& problem) { found.push_back(problem); }
    bool none() const { return found.empty(); }
};

// How much of what a program writes to standard error is kept, to be shown
// with a failure: a first part, enough to see what went wrong.
constexpr std::size_t ERRORS_KEPT = 4096;

// Adds to a failure's report what the program wrote to standard error, if
// anything: its start, as a C++ string literal, on a line of its own.
std::string withErrors(const std::string& problem, const std::string& errors);

// Runs the program on the input through a pipe: it must end within the
// timeout with status 0 and print the expected output.
Problems checkThroughPipe(Program& program, const std::string& input, const Expected& expected,
                          double timeoutSeconds);

// The input cannot be typed at a terminal as it is (a control byte, a line
// longer than a terminal holds); why, in a sentence.
struct NotTypable {
    std::string why;
};

// Types the input at the program on a pseudo-terminal, a line each time the
// program waits for input (terminal/Session.h says how a wait is seen).
// waitTexts are what the screen may end with then: the prompts.  At every
// wait the screen must be how the expected output begins and end with the
// prompt being answered; at the end it must be the expected output, with
// status 0.  With endAtEveryWait the input is also ended (Ctrl-D) at each
// wait in a run of its own: the program must then end at once with status
// 0 and show what a pipe run of the same lines prints.  With the lesson's
// own program, each wait must come where the lesson's comes, at the same
// prompt.  What the program writes to standard error is shown with the
// first problem.  Throws NotTypable.
Problems checkAtTerminal(Program& program, const std::string& input, const Expected& expected,
                         const std::vector<std::string>& waitTexts, Program* lesson,
                         double timeoutSeconds, bool endAtEveryWait);

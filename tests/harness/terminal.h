// A program run at a pseudo-terminal, and typed at one line at a time.
#pragma once

#include <string>
#include <vector>

#include "process.h"

// Ctrl-D: at the start of a line it ends the input, after some typed text
// it hands that text over without a newline.
constexpr char END_OF_INPUT = '\x04';

struct TypedRun {
    std::vector<std::string> screens;  // the screen at each wait, in order
    std::string screen;                // the screen at the end
    RunResult end;
    bool waitedAfterEnd = false;  // it waited for input again after the input had ended
};

// Runs the program on a new terminal in canonical mode (as a shell leaves
// it, but with echo and newline translation off, so the screen holds the
// program's bytes and nothing else).  Each time the program waits for input
// the screen is recorded and the next of the first `count` lines is typed;
// a line without a newline is typed followed by Ctrl-D.  Once they are all
// typed, Ctrl-D at the next wait ends the input.  Standard error stays the
// runner's.
TypedRun typeLines(const Launch& launch, const std::vector<std::string>& lines, std::size_t count,
                   double timeoutSeconds);

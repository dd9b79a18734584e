// A program run at a pseudo-terminal, typed at a line each time it waits
// for input, as a person types.
//
// How a wait is seen, whatever the language and however the program was
// started (an interpreter, a shell script, make): every thread of the
// program and of every process it started is asleep, none has run for a
// few looks in a row, nothing was printed in between, and one of them
// sleeps in a call that takes input (a read of the terminal, or a poll,
// select or epoll wait), having run since the last line was typed.  So a
// C++ program in read(2), a Java program whose reading thread is not its
// first, Node.js in epoll_wait and a shell waiting for its child are all
// seen waiting.  Where the runner tells that the program has just called
// one of those (Runner::tellsOfWaits), the looks come at once, a fraction
// of a millisecond apart; otherwise, and as a fallback for a read that
// does not tell, a millisecond apart.
#pragma once

#include <string>
#include <vector>

#include "sandbox/Run.h"

struct TypedRun {
    std::vector<std::string> screens;  // the screen at each wait, in order
    std::string screen;                // the screen at the end
    RunResult end;
    bool waitedAfterEnd = false;  // it waited for input again after the input had ended
    std::string errors;           // the first part of what it wrote to standard error
};

// Ctrl-D: at the start of a line it ends the input, after some typed text
// it hands that text over without a newline.
constexpr char END_OF_INPUT = '\x04';

// Runs the program on a new terminal.  At each wait the screen is recorded
// and the next of the first `count` lines is typed, one without a newline
// followed by Ctrl-D; at the wait after them Ctrl-D ends the input.  What
// it writes to standard error is kept too (its first part).
TypedRun typeLines(Program& program, const std::vector<std::string>& lines, std::size_t count,
                   double timeoutSeconds);

// More than any case typed at a terminal shows, yet little memory,
// whatever the program prints.
constexpr std::size_t SCREEN_LIMIT = std::size_t{1} << 20;

// A program run at a pseudo-terminal, typed at a line each time it waits
// for input, as a person types.
//
// How a wait is seen, whatever the language and however the program was
// started (an interpreter, a shell script, make): every thread of the
// program and of every process it started is asleep, none has run for a
// few looks in a row, nothing was printed in between, and one of them
// sleeps in a call that takes input, having run since the last line was
// typed.  Such a call is a read of the terminal, or an epoll wait on a set
// that holds the terminal: so a C++ program in read(2), a Java program whose
// reading thread is not its first, Node.js in epoll_wait and a shell
// waiting for its child are all seen waiting.  A poll or select wait might
// be one too, which only many looks tell.
//
// When the runner tells that the program has just made such a call
// (Runner::tellsOfWaits), the looks come at once, a fraction of a
// millisecond apart; otherwise, and for a call that only might take input,
// a millisecond apart.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sandbox/Run.h"
#include "terminal/Screen.h"

// The terminal a version is checked at: 80 columns, 24 rows, and the rows
// that scroll off kept as far as any case needs.
constexpr int SCREEN_COLUMNS = 80, SCREEN_ROWS = 24;
constexpr std::size_t SCREEN_ROWS_KEPT = 4000;

// How a run is typed at.
struct Typing {
    // Echo on, as a person's terminal has it, and standard error on the
    // screen too: the screen is rendered, as a person sees it.  Echo off:
    // the program's own output, byte for byte, and standard error apart.
    bool echo = true;
    // The most of the program's output taken in; the rest is read and
    // dropped, so that a program printing without end meets its timeout.
    std::size_t outputLimit = std::size_t{1} << 20;
    // With echo: called at each wait, with the wait's number (from 0) and
    // the screen as it is then.
    std::function<void(std::size_t, const Screen&)> atWait;
};

struct TypedRun {
    std::size_t waits = 0;        // how many times it waited
    std::vector<std::string> at;  // without echo: its output at each wait
    std::string output;           // without echo: its output, to the end
    Screen screen{SCREEN_COLUMNS, SCREEN_ROWS, SCREEN_ROWS_KEPT};  // with echo: at the end
    RunResult end;
    bool waitedAfterEnd = false;  // it waited for input again after the input had ended
    std::string errors;           // without echo: the first part of its standard error
};

// Ctrl-D: at the start of a line it ends the input, after some typed text
// it hands that text over without a newline.
constexpr char END_OF_INPUT = '\x04';

// Runs the program on a new terminal.  At each wait the next of the first
// `count` lines is typed, one without a newline followed by Ctrl-D; at the
// wait after them Ctrl-D ends the input.
TypedRun typeLines(Program& program, const std::vector<std::string>& lines, std::size_t count,
                   double timeoutSeconds, const Typing& typing);

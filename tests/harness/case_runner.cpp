// Runs a console program under test and judges the run.
//
//   case_runner transcript [--timeout S] [--wrapper "CMD ARGS"]
//                          [--clock TIME --clock-library LIBFAKETIME] PROGRAM CASE.in EXPECTED
//       Feeds CASE.in to PROGRAM through a file and compares its standard
//       output with EXPECTED.  A .out file must match byte for byte.  A
//       .match file is compared line by line, and a line may hold
//       placeholders for values that change from run to run:
//           @ADDR@  a pointer as a stream prints it (0x1f2e or 0)
//           @INT@   a decimal integer
//       Every occurrence of one placeholder on one line must stand for the
//       same text, so "@ADDR@\t== @ADDR@" checks that both sides agree.
//       With --clock the program sees a clock stopped at TIME (UTC, as
//       "2026-12-08 12:00:00") through libfaketime, so a program seeded from
//       the clock deals the same cards every run.  Without the library the
//       case is skipped (exit status 77), unless LESSONS_CI is set in the
//       environment: then it fails.
//       The environment may give the wrapper and the timeout instead, as
//       LESSONS_CASE_WRAPPER and LESSONS_CASE_TIMEOUT (the memcheck run).
//
//   case_runner session --waits WAITS [--quick] [--timeout S] [--clock ...]
//                       PROGRAM CASE.in EXPECTED
//       Types CASE.in at PROGRAM on a pseudo-terminal, as a person would:
//       canonical mode, echo and newline translation off, one line each
//       time the program waits for input (it sleeps in a read of descriptor
//       0).  A last line without a newline is followed by Ctrl-D; once all
//       is typed, Ctrl-D at an empty line ends the input.  WAITS lists the
//       texts the screen may end with while the program waits, one C-style
//       double-quoted string a line (\n \t \\ \" escapes, # comments).
//       At every wait the screen must be how EXPECTED begins and end with
//       one of those texts, and it must not lag behind: what the line typed
//       last made the program print must be there.  At the end the screen
//       must be EXPECTED and the status 0.  Then, for every wait k, a session
//       that ends the input there (Ctrl-D after the first k lines) must end
//       at once with status 0 and the screen that a pipe run of those k
//       lines prints (not with --quick).  Input that cannot be typed plainly
//       (control bytes other than tab, a line of 4095 bytes or more) is
//       skipped (77) with a note.  No wrapper: the runner watches the
//       program's own process.
//
//   case_runner abuse [--quick] [--timeout S] PROGRAM CASE_DIR
//       Feeds PROGRAM hostile input: nothing at all, every prefix of every
//       *.in file in CASE_DIR, random bytes from a fixed seed, NUL bytes,
//       bytes of 128 and above, and (not with --quick) lines of a megabyte
//       and a megabyte of "0" answers.  Each run must end within the timeout
//       with exit status 0; its output goes to /dev/null.
//
//   case_runner outputs [--timeout S] PROGRAM CASE_DIR
//       Runs PROGRAM on its first case input (by name; no input without
//       cases) with standard output on /dev/full, closed, and into a pipe
//       whose reader has gone, with SIGPIPE ignored and at its default.  The
//       first three must end with status 1 and exactly
//       "<program>: write error: <strerror text>\n" on standard error; the
//       last must be ended by SIGPIPE.
//
//   case_runner memory [--limit-mb N] [--timeout S] PROGRAM
//       Limits PROGRAM's address space to N MB (default 300) and writes it
//       one line through a pipe until it ends, or the line is twice the
//       limit long.  It must end with status 1 and exactly
//       "<program>: out of memory\n" on standard error.
//
// Every program run gets a process group of its own and no core dumps, and
// is killed when the timeout (default 5 s per run) passes.

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

#include "modes.h"

namespace {

std::vector<std::string> splitOnBlanks(const std::string& text) {
    std::istringstream words(text);
    std::vector<std::string> result;
    for (std::string word; words >> word;) {
        result.push_back(word);
    }
    return result;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    if (const char* wrapper = std::getenv("LESSONS_CASE_WRAPPER")) {
        options.wrapper = splitOnBlanks(wrapper);
    }
    if (const char* timeout = std::getenv("LESSONS_CASE_TIMEOUT")) {
        options.timeoutSeconds = std::atof(timeout);
    }
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        const bool valueFollows = i + 1 < argc;
        if (arg == "--quick") {
            options.quick = true;
        } else if (arg == "--timeout" && valueFollows) {
            options.timeoutSeconds = std::atof(argv[++i]);
        } else if (arg == "--wrapper" && valueFollows) {
            options.wrapper = splitOnBlanks(argv[++i]);
        } else if (arg == "--clock" && valueFollows) {
            options.clock = argv[++i];
        } else if (arg == "--clock-library" && valueFollows) {
            options.clockLibrary = argv[++i];
        } else if (arg == "--waits" && valueFollows) {
            options.waits = argv[++i];
        } else if (arg == "--limit-mb" && valueFollows) {
            options.memoryLimitMegabytes = std::strtoull(argv[++i], nullptr, 10);
        } else {
            options.positional.push_back(arg);
        }
    }
    return options;
}

// Descriptors 0 to 2 are open from here on (on /dev/null if they were not),
// so that no file the runner opens for a child takes one of their numbers.
void holdStandardDescriptors() {
    for (;;) {
        int fd = open("/dev/null", O_RDWR);
        if (fd < 0 || fd > 2) {
            if (fd > 2) {
                close(fd);
            }
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    holdStandardDescriptors();
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        const Options options = parseOptions(argc, argv);
        if (mode == "transcript") {
            return transcript(options);
        }
        if (mode == "session") {
            return session(options);
        }
        if (mode == "abuse") {
            return abuse(options);
        }
        if (mode == "outputs") {
            return failingOutputs(options);
        }
        if (mode == "memory") {
            return memoryRunsOut(options);
        }
    } catch (const std::exception& error) {
        std::cerr << "case_runner: " << error.what() << "\n";
        return 2;
    }
    std::cerr << "usage: case_runner transcript|session|abuse|outputs|memory ...\n";
    return 2;
}

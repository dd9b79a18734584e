// Runs a console program under test and judges the run.  Every program run
// gets a process group of its own and no core dumps, and is killed when the
// timeout (--timeout S, default 5 s a run) passes.
//
//   case_runner transcript [--wrapper "CMD ARGS"] [--clock TIME --clock-library LIB]
//                          PROGRAM CASE.in EXPECTED
//       Feeds CASE.in to PROGRAM through a file; its standard output must be
//       EXPECTED: a .out file byte for byte, a .match file line by line with
//       placeholders (tests/support/ExpectedText.h).  With --clock the program
//       sees a clock stopped at TIME (UTC, as "2026-12-08 12:00:00") through
//       libfaketime LIB; without it the case is skipped (status 77), or fails
//       where LESSONS_CI is set.  LESSONS_CASE_WRAPPER and LESSONS_CASE_TIMEOUT
//       in the environment may give the wrapper and the timeout instead.
//
//   case_runner session --waits WAITS [--quick] [--clock ...] PROGRAM CASE.in EXPECTED
//       Types CASE.in at PROGRAM on a pseudo-terminal, a line each time the
//       program waits (sleeps in a read of descriptor 0).  WAITS lists what
//       the screen may end with then, a C-style double-quoted string a line
//       (\n \t \\ \" escapes, # comments).  At every wait the screen must be
//       how EXPECTED begins, end with one of those texts, and show what the
//       line typed last made the program print; at the end it must be
//       EXPECTED, with status 0.  Then (not with --quick), for every wait, a
//       session whose input ends there must end at once with status 0 and the
//       screen that a pipe run of the same lines prints.  Input that cannot be
//       typed plainly is skipped with a note.  No wrapper.
//
//   case_runner abuse [--quick] PROGRAM CASE_DIR
//       Feeds PROGRAM nothing, every prefix of every *.in file in CASE_DIR,
//       random bytes from a fixed seed, NUL bytes, bytes of 128 and above, and
//       (not with --quick) lines of a megabyte and a megabyte of "0" answers.
//       Each run must end in time with status 0; its output goes to /dev/null.
//
//   case_runner outputs PROGRAM CASE_DIR
//       Runs PROGRAM on its first case input (by name; none without cases)
//       with standard output on /dev/full, closed, and into a pipe whose
//       reader has gone, SIGPIPE ignored and at its default.  The first three
//       must end with status 1 and exactly "<program>: write error: <strerror
//       text>\n" on standard error; the last must be ended by SIGPIPE.
//
//   case_runner memory [--limit-mb N] PROGRAM
//       Limits PROGRAM's address space to N MB (default 300) and writes it one
//       line through a pipe until it ends, or the line is twice the limit long.
//       It must end with status 1 and exactly "<program>: out of memory\n" on
//       standard error.

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <iterator>
#include <map>
#include <sstream>

#include "harness.h"

namespace {

std::vector<std::string> splitOnBlanks(const std::string& text) {
    std::istringstream words(text);
    return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
}

Options parseOptions(int argc, char** argv) {
    const char* wrapper = std::getenv("LESSONS_CASE_WRAPPER");
    const char* timeout = std::getenv("LESSONS_CASE_TIMEOUT");
    std::map<std::string, std::string> named = {{"--wrapper", wrapper ? wrapper : ""},
                                                {"--timeout", timeout ? timeout : "5"},
                                                {"--limit-mb", "300"}};
    Options options;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            options.quick = true;
        } else if (arg.rfind("--", 0) == 0 && i + 1 < argc) {
            named[arg] = argv[++i];
        } else {
            options.positional.push_back(arg);
        }
    }
    options.timeoutSeconds = std::stod(named["--timeout"]);
    options.wrapper = splitOnBlanks(named["--wrapper"]);
    options.clock = named["--clock"];
    options.clockLibrary = named["--clock-library"];
    options.waits = named["--waits"];
    options.memoryLimitMegabytes = std::stoull(named["--limit-mb"]);
    if (named.size() > 6) {  // more than the six just read
        throw std::invalid_argument("an unknown option");
    }
    return options;
}

}  // namespace

int transcript(const Options& options) {
    Launch launch = caseLaunch(options);
    launch.argv.insert(launch.argv.begin(), options.wrapper.begin(), options.wrapper.end());
    std::string output;
    const RunResult result =
        runOnInput(launch, readFile(options.positional[1]), options.timeoutSeconds, &output);
    Verdict verdict;
    if (!endedWell(result)) {
        verdict.fail(options.positional[0] + " " + describeEnd(result, options.timeoutSeconds));
    }
    const fs::path expected = options.positional[2];
    if (const std::string difference = Expected(expected).differenceFrom(output);
        !difference.empty()) {
        verdict.fail(expected.filename().string() + ": " + difference);
    }
    return verdict.status();
}

int main(int argc, char** argv) {
    // Descriptors 0 to 2 are open from here on (on /dev/null if they were
    // not), so that no file opened for a program takes one of their numbers.
    int fd = 0;
    while ((fd = open("/dev/null", O_RDWR)) >= 0 && fd <= 2) {
    }
    close(fd);

    const struct {
        const char* name;
        int (*run)(const Options&);
        std::size_t arguments;
    } modes[] = {{"transcript", transcript, 3},
                 {"session", session, 3},
                 {"abuse", abuse, 2},
                 {"outputs", failingOutputs, 2},
                 {"memory", memoryRunsOut, 1}};
    try {
        const Options options = parseOptions(argc, argv);
        for (const auto& mode : modes) {
            if (argc > 1 && argv[1] == std::string(mode.name) &&
                options.positional.size() == mode.arguments) {
                return mode.run(options);
            }
        }
    } catch (const CannotRun& reason) {
        std::cout << reason.why << "\n";
        return reason.status;
    } catch (const std::exception& error) {
        std::cerr << "case_runner: " << error.what() << "\n";
        return 2;
    }
    std::cerr << "usage: case_runner transcript|session|abuse|outputs|memory [options] ARGS "
                 "(see case_runner.cpp)\n";
    return 2;
}

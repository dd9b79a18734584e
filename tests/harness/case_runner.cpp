// Runs a console program under test and judges the run:
//
//   case_runner transcript [--wrapper "CMD ARGS"] [--clock TIME --clock-library LIB]
//                          PROGRAM CASE.in EXPECTED
//   case_runner session --waits WAITS [--quick] [--clock ...] PROGRAM CASE.in EXPECTED
//   case_runner abuse [--quick] PROGRAM CASE_DIR                    (abuse.cpp)
//   case_runner outputs PROGRAM CASE_DIR                            (failures.cpp)
//   case_runner memory [--limit-mb N] PROGRAM                       (failures.cpp)
//
// The transcript and session modes are the checks that lessons-check makes
// of every case (check/verdict/CaseCheck.h), so a case added here holds every
// learner's version too.  Every program run gets a process group of its own
// and no core dumps, and is killed when the timeout (--timeout S, default
// 5 s a run) passes.  The wrapper starts the program: a cross build gives
// its emulator as --wrapper.  The environment may give the wrapper and the
// timeout instead, as LESSONS_CASE_WRAPPER and LESSONS_CASE_TIMEOUT (the
// memcheck run).

#include <iterator>

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

namespace {

// The program of a case, its clock stopped as --clock asks by libfaketime.
Program caseProgram(const Options& options) {
    Program program = localProgram({options.positional.at(0)}, options);
    if (options.clock.empty()) {
        return program;
    }
    if (options.clockLibrary.empty() || !fs::exists(options.clockLibrary)) {
        throw CannotRun{"the case needs a stopped clock, and libfaketime is missing",
                        std::getenv("LESSONS_CI") != nullptr ? 1 : SKIPPED};
    }
    stopClock(program.request, options.clock, options.clockLibrary);
    return program;
}

int report(const Problems& problems) {
    for (const Problem& problem : problems.found) {
        std::cerr << problemText(problem);
    }
    return problems.none() ? 0 : 1;
}

}  // namespace

// Feeds CASE.in to PROGRAM through a pipe; it must end with status 0 and
// print EXPECTED: a .out file byte for byte, a .match file line by line
// with placeholders (check/cases/ExpectedText.h).  With --clock the program sees
// a clock stopped at TIME (UTC, as "2026-12-08 12:00:00") through libfaketime
// LIB; without LIB the case is skipped, or fails where LESSONS_CI is set.
int transcript(const Options& options) {
    Program program = caseProgram(options);
    VersionRuns runs(program, options.timeoutSeconds);
    return report(
        checkThroughPipe(runs, readFile(options.positional[1]), Expected(options.positional[2])));
}

// Types CASE.in at PROGRAM on a pseudo-terminal, a line at each wait, with
// WAITS the texts its screen may end with then (the format of a lesson's
// waits file, check/cases/Lesson.h).  Not with --quick, it is then typed at
// again as a version is checked, the screen rendered, and the input also
// ended at every wait, in a run of its own.  Input that cannot be typed
// plainly is skipped with a note.
int session(const Options& options) {
    try {
        Program program = caseProgram(options);
        const std::vector<std::string> lines = typedLines(readFile(options.positional[1]));
        const Expected expected(options.positional[2]);
        // The program is its own lesson: where it waits, each prompt must be
        // on screen; then it is held to itself as a version is.
        LessonWaits waits;
        Problems problems = learnWaits(program, lines, expected, readWaitTexts(options.waits),
                                       options.timeoutSeconds, waits);
        if (problems.none() && !options.quick) {
            VersionRuns runs(program, options.timeoutSeconds);
            problems = checkAtTerminal(runs, lines, expected, waits, true);
        }
        if (problems.none()) {
            std::cout << "typed at a terminal: all as expected\n";
        }
        return report(problems);
    } catch (const NotTypable& reason) {
        throw CannotRun{"skipped: this input cannot be typed plainly at a terminal: " + reason.why,
                        SKIPPED};
    }
}

int main(int argc, char** argv) {
    // Descriptors 0 to 2 are open from here on (on /dev/null if they were
    // not), so that no file opened for a program takes one of their numbers.
    int fd = 0;
    while ((fd = open("/dev/null", O_RDWR)) >= 0 && fd <= 2) {
    }
    close(fd);
    // A program may stop reading its input at any moment.
    signal(SIGPIPE, SIG_IGN);

    const std::map<std::string, std::pair<int (*)(const Options&), std::size_t>> modes = {
        {"transcript", {transcript, 3}},
        {"session", {session, 3}},
        {"abuse", {abuse, 2}},
        {"outputs", {failingOutputs, 2}},
        {"memory", {memoryRunsOut, 1}}};
    try {
        const Options options = parseOptions(argc, argv);
        const auto mode = modes.find(argc > 1 ? argv[1] : "");
        if (mode != modes.end() && options.positional.size() == mode->second.second) {
            return mode->second.first(options);
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

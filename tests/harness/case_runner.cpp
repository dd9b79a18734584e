// Runs a console program under test and judges the run:
//
//   case_runner transcript [--wrapper "CMD ARGS"] [--clock TIME --clock-library LIB]
//                          PROGRAM CASE.in EXPECTED                 (below)
//   case_runner session --waits WAITS [--quick] [--clock ...] PROGRAM CASE.in EXPECTED
//                                                                   (session.cpp)
//   case_runner abuse [--quick] PROGRAM CASE_DIR                    (abuse.cpp)
//   case_runner outputs PROGRAM CASE_DIR                            (failures.cpp)
//   case_runner memory [--limit-mb N] PROGRAM                       (failures.cpp)
//
// Every program run gets a process group of its own and no core dumps, and
// is killed when the timeout (--timeout S, default 5 s a run) passes.  The
// wrapper starts the program: a cross build gives its emulator as --wrapper.
// The environment may give the wrapper and the timeout instead, as
// LESSONS_CASE_WRAPPER and LESSONS_CASE_TIMEOUT (the memcheck run).

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

// Feeds CASE.in to PROGRAM through a file; its standard output must be
// EXPECTED: a .out file byte for byte, a .match file line by line with
// placeholders (tests/support/ExpectedText.h).  With --clock the program sees
// a clock stopped at TIME (UTC, as "2026-12-08 12:00:00") through libfaketime
// LIB; without LIB the case is skipped, or fails where LESSONS_CI is set.
int transcript(const Options& options) {
    Launch launch = caseLaunch(options);
    launch.argv.insert(launch.argv.begin(), options.wrapper.begin(), options.wrapper.end());
    std::string output;
    const RunResult result =
        runOnInput(launch, readFile(options.positional[1]), options.timeoutSeconds, &output);
    Verdict verdict;
    if (!result.endedWell()) {
        verdict.fail(options.positional[0] + " " + result.describe(options.timeoutSeconds));
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

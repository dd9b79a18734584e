// lessons-check PROGRAM [COMMAND [ARG...]]
// lessons-check PROGRAM --each VERSION...
//
// Holds anyone's version of a lesson to the lesson's own cases: each case's
// input through a pipe, then, for a lesson that reads input, the same input
// typed at a pseudo-terminal a line at each wait; or a class's versions,
// several at a time (Class.h).  See lessons-check(1).
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <sstream>

#include "cases/ExpectedText.h"
#include "cases/Lesson.h"
#include "class/Class.h"
#include "report/Report.h"
#include "sandbox/Confinement.h"
#include "verdict/CaseCheck.h"

namespace fs = std::filesystem;

namespace {

constexpr int FAILED = 1;
constexpr int USAGE = 2;
double timeoutSeconds = 5;
#ifdef LESSONS_SANITIZED_PROGRAMS
// Built to check the lessons' sanitized programs, whose AddressSanitizer
// reserves terabytes for its shadow memory at every start: memory is capped
// only by --max-memory.
Caps caps{DEFAULT_PROCESSES, 0};
#else
Caps caps{DEFAULT_PROCESSES, defaultMemoryMiB() << 20};
#endif
bool strictlyConfined = false;
Format format = Format::Human;
unsigned jobs = defaultJobs();

const char* const HELP =
    "Usage: lessons-check [OPTION]... [--] PROGRAM [COMMAND [ARG]...]\n"
    "  or:  lessons-check [OPTION]... [--] PROGRAM --each VERSION...\n"
    "  or:  lessons-check --list\n"
    "Check a version of the lesson PROGRAM against the lesson's cases: every\n"
    "case's input is given to COMMAND through a pipe and the output compared\n"
    "byte for byte; for a lesson that reads input the same input is then typed\n"
    "at a terminal, a line each time the program waits, where every prompt\n"
    "must be on screen before it waits and end of input must end it.\n"
    "COMMAND is any command: a compiled program, or an interpreter and its\n"
    "script.  Without it the lesson's own program beside lessons-check is\n"
    "checked.  PROGRAM is the name of a lesson, as --list lists them.  At each\n"
    "wait the screen must end with the prompt the lesson's own program shows\n"
    "there.  What COMMAND writes to standard error is shown with a failure.\n"
    "COMMAND runs confined: with bubblewrap, without the network and without\n"
    "the user's files, in a folder of its own that is gone after each run;\n"
    "whatever it starts ends with the run.\n"
    "Once two cases did not end in time, the others are not run.\n"
    "With --each, every VERSION, a folder or a file, is checked, several at a\n"
    "time.  A folder holds an executable named PROGRAM, or PROGRAM.py (run by\n"
    "python3), or PROGRAM.js (run by node), or a Makefile whose target \"run\"\n"
    "starts it; a file is run by its ending (.py, .js) or as it is.\n"
    "\n"
    "  --timeout SECONDS  give each run of COMMAND SECONDS to end instead of 5\n"
    "                     (for a slow machine, or a program under valgrind)\n"
    "  --jobs N           with --each, check N versions at a time instead of one\n"
    "                     for each processor\n"
    "  --format FORMAT    show the results as FORMAT: human (the default), tap\n"
    "                     (TAP version 13, for prove), json (exercism's\n"
    "                     results.json), junit (JUnit XML), gradescope\n"
    "                     (Gradescope's results.json), csv (a gradebook) or\n"
    "                     html (a page)\n"
    "  --max-processes N  stop a run that has more than N processes at once\n"
    "                     (64 unless set)\n"
    "  --max-memory MIB   cap each process's memory at MIB mebibytes (unless\n"
    "                     set, a 16th of the machine's memory, at least 1024)\n"
    "  --confine=strict   fail instead of running COMMAND where bubblewrap\n"
    "                     cannot confine it (by default it then runs with the\n"
    "                     caps only, and a note says so)\n"
    "  --list             list the lessons and the number of cases of each\n"
    "  --help             display this help and exit\n"
    "  --version          output version information and exit\n"
    "  --                 end the options: what follows is PROGRAM and COMMAND\n"
    "\n"
    "Exit status is 0 if every case passed (with --each, every case of every\n"
    "version), 1 if a case failed or could not run here, and 2 on a usage\n"
    "error or a COMMAND that cannot be started.\n";

const char* const VERSION = "lessons-check (Console Lessons) " LESSONS_VERSION
                            "\n"
                            "Copyright (c) The Console Lessons developers.\n"
                            "License MIT: <https://opensource.org/licenses/MIT>.\n"
                            "This is free software: you are free to change and redistribute it.\n"
                            "There is NO WARRANTY, to the extent permitted by law.\n";

std::string casesCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " case" : " cases");
}

int usageError(const std::string& problem) {
    std::cerr << "lessons-check: " << problem << "\n"
              << "Try 'lessons-check --help' for more information.\n";
    return USAGE;
}

std::vector<std::string> lessonNames(const fs::path& cases) {
    std::vector<std::string> names;
    std::error_code none;
    for (const auto& entry : fs::directory_iterator(cases, none)) {
        if (fs::is_directory(entry.path())) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

int listLessons() {
    const fs::path cases = casesFolder();
    const std::vector<std::string> names = lessonNames(cases);
    if (names.empty()) {
        std::cerr << "lessons-check: no lessons' cases in " << cases << "\n";
        return FAILED;
    }
    for (const std::string& name : names) {
        std::cout << name << std::string(name.size() < 12 ? 12 - name.size() : 1, ' ')
                  << casesCount(readLesson(cases / name).cases.size()) << "\n";
    }
    return 0;
}

// A problem as the checks tell it, in a few lines: the first says what, the
// others (indented under it) show it.
Problem problemFrom(const std::string& told) {
    std::vector<std::string> lines = splitLines(told);
    Problem problem;
    problem.what = lines.empty() ? "" : lines.front();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        problem.details.push_back(lines[i].substr(lines[i].rfind("  ", 0) == 0 ? 2 : 0));
    }
    return problem;
}

// Both checks of one case: through a pipe, then (once that passed, and for a
// lesson that reads input) typed at a terminal.  Throws CannotStart.
CaseResult checkCase(const Lesson& lesson, const Case& lessonCase, const Launch& launch,
                     const Launch* lessonsOwn) {
    const std::string input = readFile(lessonCase.input);
    const Expected expected(lessonCase.expected);
    Problems problems = checkThroughPipe(launch, input, expected, timeoutSeconds);
    CaseResult result;
    result.name = lessonCase.name;
    result.output = std::move(problems.output);
    result.input = input;
    result.files = {lessonCase.input.string(), lessonCase.expected.string()};
    if (problems.none() && !lesson.waitTexts.empty()) {
        try {
            problems = checkAtTerminal(launch, input, expected, lesson.waitTexts, lessonsOwn,
                                       timeoutSeconds, true);
        } catch (const NotTypable& reason) {
            result.note = "through a pipe only: " + reason.why;
        }
    }
    if (!problems.none()) {
        result.status = Status::Fail;
        for (const std::string& problem : problems.found) {
            result.problems.push_back(problemFrom(problem));
        }
    }
    return result;
}

// A version that never ends costs the timeout at every case: once it has
// not ended in this many cases, the others are not run.
constexpr int CASES_OUT_OF_TIME = 2;

// Whether a run of the case was stopped at the timeout, as the checks tell it.
bool ranOutOfTime(const CaseResult& result) {
    RunResult timedOut;
    timedOut.timedOut = true;
    const std::string stopped = "the program " + timedOut.describe(timeoutSeconds);
    return std::any_of(result.problems.begin(), result.problems.end(), [&](const Problem& problem) {
        return problem.what.find(stopped) != std::string::npos;
    });
}

// Whether a name can be a lesson's: a plain word, as every program's is, so
// that neither "." nor a path reaches the cases' folder.
bool lessonName(const std::string& name) {
    return !name.empty() && name.size() <= 64 &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

bool knownLesson(const std::string& name) {
    std::error_code none;
    return lessonName(name) && fs::is_directory(casesFolder() / name, none);
}

int unknownLesson(const std::string& name) {
    return usageError("no lesson is named '" + name.substr(0, 64) +
                      (name.size() > 64 ? "..." : "") + "' (lessons-check --list lists them)");
}

int checkLesson(const std::string& name, std::vector<std::string> command) {
    const fs::path folder = casesFolder() / name;
    if (!knownLesson(name)) {
        return unknownLesson(name);
    }
    const Lesson lesson = readLesson(folder);
    // The lesson's own program shows where each wait comes.
    const fs::path own = fs::read_symlink("/proc/self/exe").parent_path() / lesson.name;
    if (command.empty()) {
        command.push_back(own.string());
    }
    const std::unique_ptr<VersionReport> report = versionReport(format, std::cout);
    VersionResult version;
    version.lesson = lesson.name;
    version.command = command;
    version.caseCount = lesson.cases.size();
    version.outOf = static_cast<unsigned>(lesson.cases.size());
    report->begin(version);
    const Confinement confinement(caps);
    if (!confinement.isFull()) {
        if (strictlyConfined) {
            version.error =
                "cannot confine the version here (--confine=strict): " + confinement.shortfall();
            report->finish(version);
            return FAILED;
        }
        std::cerr << "lessons-check: note: versions are not confined here ("
                  << confinement.shortfall()
                  << "): they may reach the network and the user's files; only the caps on "
                     "processes and memory hold\n";
    }

    Launch launch(command), lessonsOwn({own.string()});
    const bool ownFound = access(own.c_str(), X_OK) == 0;
    // Why the cases left are not run, once they are not.
    std::string notRun;
    if (!lesson.clock.empty()) {
        const std::string library = faketimeLibrary();
        if (library.empty()) {
            notRun = "they stop the clock at " + lesson.clock +
                     " with libfaketime, which is not installed (Debian package: faketime)";
        }
        launch = withStoppedClock(launch, lesson.clock, library);
        lessonsOwn = withStoppedClock(lessonsOwn, lesson.clock, library);
    }
    int outOfTime = 0;
    try {
        // The lesson's own program, which shows where each wait comes, is
        // not confined: it is not the code under check.
        launch = confinement.confined(launch);
        for (const Case& lessonCase : lesson.cases) {
            if (!notRun.empty()) {
                CaseResult result;
                result.name = lessonCase.name;
                result.status = Status::Error;
                result.note = notRun;
                result.files = {lessonCase.input.string(), lessonCase.expected.string()};
                report->add(result);
                version.cases.push_back(std::move(result));
                continue;
            }
            CaseResult result =
                checkCase(lesson, lessonCase, launch, ownFound ? &lessonsOwn : nullptr);
            outOfTime += ranOutOfTime(result) ? 1 : 0;
            if (outOfTime == CASES_OUT_OF_TIME) {
                std::ostringstream seconds;
                seconds << timeoutSeconds;
                notRun =
                    std::to_string(outOfTime) + " cases did not end within " + seconds.str() + " s";
            }
            report->add(result);
            version.cases.push_back(std::move(result));
        }
    } catch (const CannotStart& error) {
        version.error = error.what();
        return report->finish(version);
    }
    return report->finish(version);
}

// The number of seconds --timeout gives, or 0 when it is not one.
double readSeconds(const std::string& text) {
    std::istringstream in(text);
    double seconds = 0;
    return in >> seconds && in.peek() == EOF && seconds > 0 && seconds <= 3600 ? seconds : 0;
}

// The whole number an option gives, from 1 to most, or 0 when it is not one.
unsigned long long readCount(const std::string& text, unsigned long long most) {
    std::istringstream in(text);
    unsigned long long count = 0;
    return text.find_first_not_of("0123456789") == std::string::npos && in >> count && count >= 1 &&
                   count <= most
               ? count
               : 0;
}

// The number of versions --jobs checks at a time, or 0 when it is not one.
unsigned readJobs(const std::string& text) {
    std::istringstream in(text);
    unsigned count = 0;
    return in >> count && in.peek() == EOF && count <= 1024 ? count : 0;
}

// PROGRAM --each VERSION...: args[at] is PROGRAM.  Each version's check gets
// the options given here.
int checkVersions(const std::vector<std::string>& args, std::size_t at) {
    ClassCheck check;
    check.lesson = args[at];
    check.versions.assign(args.begin() + static_cast<std::ptrdiff_t>(at) + 2, args.end());
    check.options.assign(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(at));
    if (!check.options.empty() && check.options.back() == "--") {
        check.options.pop_back();
    }
    check.jobs = jobs;
    check.format = format;
    if (!knownLesson(check.lesson)) {
        return unknownLesson(check.lesson);
    }
    if (check.versions.empty()) {
        return usageError("--each takes the versions to check: folders or files");
    }
    return checkClass(check);
}

int run(std::vector<std::string> args) {
    try {
        // Options come first; "--" ends them, so that a lesson's name or a
        // command may follow it whatever it begins with.
        std::size_t at = 0;
        for (; at < args.size() && args[at].rfind("-", 0) == 0; ++at) {
            const std::string& option = args[at];
            if (option == "--") {
                ++at;
                break;
            } else if (option == "--timeout") {
                timeoutSeconds = at + 1 < args.size() ? readSeconds(args[++at]) : 0;
                if (timeoutSeconds == 0) {
                    return usageError("--timeout takes a number of seconds, up to 3600");
                }
            } else if (option == "--max-processes") {
                caps.processes =
                    static_cast<unsigned>(at + 1 < args.size() ? readCount(args[++at], 4096) : 0);
                if (caps.processes == 0) {
                    return usageError("--max-processes takes a number, from 1 to 4096");
                }
            } else if (option == "--max-memory") {
                caps.memoryBytes = (at + 1 < args.size() ? readCount(args[++at], 1 << 20) : 0)
                                   << 20;
                if (caps.memoryBytes == 0) {
                    return usageError("--max-memory takes a number of MiB, from 1 to 1048576");
                }
            } else if (option == "--confine=strict") {
                strictlyConfined = true;
            } else if (option == "--jobs") {
                jobs = at + 1 < args.size() ? readJobs(args[++at]) : 0;
                if (jobs == 0) {
                    return usageError("--jobs takes a number of versions, from 1 to 1024");
                }
            } else if (option == "--format") {
                if (at + 1 == args.size() || !readFormat(args[++at], format)) {
                    return usageError(std::string("--format takes ") + formatNames());
                }
            } else if (option == "--help") {
                std::cout << HELP;
                return 0;
            } else if (option == "--version") {
                std::cout << VERSION;
                return 0;
            } else if (option == "--list") {
                return at + 1 == args.size() ? listLessons()
                                             : usageError("--list takes no arguments");
            } else {
                return usageError("unrecognized option '" + option + "'");
            }
        }
        if (at == args.size()) {
            return usageError("missing PROGRAM, the lesson to check");
        }
        if (at + 1 < args.size() && args[at + 1] == "--each") {
            return checkVersions(args, at);
        }
        return checkLesson(args[at],
                           {args.begin() + static_cast<std::ptrdiff_t>(at) + 1, args.end()});
    } catch (const CannotStart& error) {
        std::cout.flush();
        std::cerr << "lessons-check: " << error.what() << "\n";
        return USAGE;
    } catch (const std::exception& error) {
        std::cout.flush();
        std::cerr << "lessons-check: " << error.what() << "\n";
        return FAILED;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The program under check may stop reading its input at any moment.
    signal(SIGPIPE, SIG_IGN);
    const int status = run({argv + 1, argv + argc});
    if (!std::cout.flush()) {
        std::cerr << "lessons-check: write error\n";
        return FAILED;
    }
    return status;
}

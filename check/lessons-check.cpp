// lessons-check [OPTION]... PROGRAM [OPTION]... [COMMAND [ARG...]]
// lessons-check [OPTION]... PROGRAM --each VERSION... (options anywhere)
// lessons-check [OPTION]... --merge FILE...
//
// Holds anyone's version of a lesson to the lesson's own cases: each case's
// input through a pipe, then, for a lesson that reads input, the same input
// typed at a pseudo-terminal a line at each wait; or a class's versions,
// several at a time (class/Class.h).  Every version runs confined
// (sandbox/Confinement.h).  See lessons-check(1).
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "InstructorsCases.h"
#include "Output.h"
#include "cases/ExpectedText.h"
#include "cases/Lesson.h"
#include "class/Class.h"
#include "report/Report.h"
#include "sandbox/Confinement.h"
#include "sandbox/Paths.h"
#include "verdict/VersionCheck.h"

namespace fs = std::filesystem;

namespace {

constexpr int FAILED = 1;
constexpr int USAGE = 2;

const char* const HELP =
    "Usage: lessons-check [OPTION]... PROGRAM [OPTION]... [COMMAND [ARG]...]\n"
    "  or:  lessons-check [OPTION]... PROGRAM --each VERSION...\n"
    "  or:  lessons-check [OPTION]... --merge FILE...\n"
    "  or:  lessons-check --list\n"
    "Check a version of the lesson PROGRAM against the lesson's cases: every\n"
    "case's input is given to COMMAND through a pipe and the output compared\n"
    "byte for byte; for a lesson that reads input the same input is then typed\n"
    "at a terminal, a line each time the program waits, where every prompt\n"
    "must be on screen before it waits and end of input must end it.\n"
    "COMMAND is any command: a compiled program, or an interpreter and its\n"
    "script; a lone folder, source or script is taken as --each takes it.\n"
    "Without it the lesson's own program beside lessons-check is checked.\n"
    "PROGRAM is the name of a lesson, as --list lists them.  At each wait the\n"
    "screen, with what COMMAND echoes and writes to standard error, must be\n"
    "what the lesson's own program shows there; through the pipe, standard\n"
    "error is kept apart and shown with a failure.\n"
    "COMMAND runs confined: with bubblewrap, without the network and without\n"
    "the user's files, in a copy of its folder that is new in each run;\n"
    "whatever it starts ends with the run.\n"
    "Once two cases did not end in time, the others are not run.\n"
    "With --each, every VERSION, a folder or a file, is checked, several at a\n"
    "time.  A folder holds an executable named PROGRAM, PROGRAM.py (run by\n"
    "python3), PROGRAM.js (run by node), a Makefile whose target \"run\"\n"
    "starts it, or sources to build (.cpp by g++ -std=c++17 -O2, .c by\n"
    "gcc -std=c17 -O2 -lm, .java by javac); a file is run by its ending\n"
    "(.py, .js), built by it (.cpp, .c, .java) or run as it is.\n"
    "Options may come before or after PROGRAM, and anywhere among the\n"
    "versions; from COMMAND on, every word is the version's own.\n"
    "With --merge, the class reports in JSON that shards of a class check\n"
    "wrote (FILE, in the order of their shards) are shown as one.\n"
    "\n"
    "  --timeout SECONDS  give each run of COMMAND SECONDS to end instead of 5\n"
    "                     (for a slow machine, or a program under valgrind)\n"
    "  --budget SECONDS   stop checking a version once its runs together took\n"
    "                     SECONDS (300 unless set); the cases left are not run\n"
    "  --jobs N           with --each, check N versions at a time instead of\n"
    "                     three for every two processors\n"
    "  --format FORMAT    show the results as FORMAT: human (the default), tap\n"
    "                     (TAP version 13, for prove), json (exercism's\n"
    "                     results.json), junit (JUnit XML), gradescope\n"
    "                     (Gradescope's results.json), csv (a gradebook) or\n"
    "                     html (a page)\n"
    "  --output FILE      write the report to FILE, and the human report (unless\n"
    "                     FILE holds it) to standard output, as the check goes\n"
    "  --cases DIR        add the cases in DIR to the lesson's: DIR/NAME.in with\n"
    "                     DIR/NAME.out or DIR/NAME.match, a file DIR/points of\n"
    "                     \"NAME POINTS\" lines where a case is worth other than\n"
    "                     1 point, and in DIR/hidden/ the same for hidden cases,\n"
    "                     whose input and output no report shows; the lesson's\n"
    "                     own program must pass each\n"
    "  --only-cases DIR   check the cases in DIR instead of the lesson's\n"
    "  --shard K/N        with --each, check only the K-th of N parts of the\n"
    "                     versions (--format json, for --merge)\n"
    "  --max-tasks N      stop a run whose processes and threads together come\n"
    "                     to N (64 unless set); --max-processes is the same\n"
    "  --max-memory MIB   cap a run's memory, its processes and what it writes\n"
    "                     together, at MIB mebibytes (unless set, a 16th of the\n"
    "                     machine's memory, at least 1024)\n"
    "  --confine=strict   fail instead of running COMMAND where bubblewrap\n"
    "                     cannot confine it (by default a single check then\n"
    "                     runs it unconfined, after a note)\n"
    "  --unconfined       with --each, check versions even where bubblewrap\n"
    "                     cannot confine them (refused unless given)\n"
    "  --case NAME        check the lesson's case NAME alone\n"
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

// What the options asked for.
struct Settings {
    CheckSettings check;
    unsigned tasks = DEFAULT_TASKS;
#ifdef LESSONS_SANITIZED_PROGRAMS
    // Built to check the lessons' sanitized programs, whose AddressSanitizer
    // reserves terabytes for its shadow memory at every start: memory is
    // capped only by --max-memory.
    unsigned long long memoryMiB = 0;
#else
    unsigned long long memoryMiB = defaultMemoryMiB();
#endif
    bool strict = false, unconfined = false;
    std::string caseName;  // the one case --case checks, or "" for all
    Format format = Format::Human;
    unsigned jobs = defaultJobs();
    std::string output;  // --output FILE, "" for standard output
    CaseFolders cases;
    unsigned shardK = 0, shardN = 0;  // --shard K/N, 0 for none
};

// Why no version runs where root can give it no other user.
const char* const ROOT_ALONE =
    "lessons-check runs as root here, in a user namespace that maps no other user: it cannot "
    "run a version as anyone but root, and runs none (run it as an ordinary user)";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int usageError(const std::string& problem) {
    std::cerr << "lessons-check: " << problem << "\n"
              << "Try 'lessons-check --help' for more information.\n";
    return USAGE;
}

std::string casesCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " case" : " cases");
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

void requireLesson(const std::string& name) {
    if (!knownLesson(name)) {
        throw UsageError("no lesson is named " + quoted(name.substr(0, 64)) +
                         (name.size() > 64 ? "..." : "") + " (lessons-check --list lists them)");
    }
}

// What no version may see: the lessons' own programs, where they are
// installed with the system's, their cases and their documents.
std::vector<std::string> lessonsOwnFiles() {
    std::error_code none;
    const fs::path self = fs::read_symlink("/proc/self/exe", none);
    std::vector<std::string> masked = {casesFolder().string()};
    for (const std::string& name : lessonNames(casesFolder())) {
        masked.push_back((self.parent_path() / name).string());
    }
    masked.push_back((self.parent_path().parent_path() / "share/doc/console-lessons").string());
    return masked;
}

ConfinementPlan confinementPlan(const Settings& settings) {
    ConfinementPlan plan = planWithCaps(settings.tasks, settings.memoryMiB << 20);
    if (settings.memoryMiB == 0) {
        plan.limits.memoryBytes = plan.caps.memoryBytes = 0;
        plan.limits.writableBytes = 64ull << 20;
    }
    plan.masked = lessonsOwnFiles();
    const std::vector<std::string> instructors = caseFolderPaths(settings.cases);
    plan.masked.insert(plan.masked.end(), instructors.begin(), instructors.end());
    std::error_code none;
    plan.supervisorProgram = fs::read_symlink("/proc/self/exe", none).string();
    return plan;
}

// The lesson's cases, with the instructor's.  Throws RefusedCases.
Lesson chosenLesson(const std::string& name, const Settings& settings) {
    requireLesson(name);
    const Lesson lesson = readLesson(casesFolder() / name);
    return settings.cases.any() ? withInstructorsCases(lesson, settings.cases, settings.check)
                                : lesson;
}

// What a single check shows its version a copy of: a folder handed in, or
// the folder the check runs in.
std::vector<fs::path> singleCheckShows(const std::vector<std::string>& command) {
    const fs::path folder = fs::current_path();
    if (isHandIn(command)) {
        return {command[0]};
    }
    return isShared(folder) ? std::vector<fs::path>{} : std::vector<fs::path>{folder};
}

// The results given their cases' points, and hidden where they are.
void markAll(const Lesson& lesson, VersionResult& version) {
    for (CaseResult& result : version.cases) {
        markResult(lesson, result);
    }
}

// Where no sandbox can be had: a note, a refusal, or nothing to say.
// Returns the reason, "" when versions are confined.
std::string confinementShortfall(ConfinementPlan& plan) {
    std::string whyNot;
    plan.bwrap = workingBubblewrap(whyNot);
    return whyNot;
}

// The program the command's first word runs, as the user's PATH finds it.
std::string programOf(const std::vector<std::string>& command) {
    if (command.empty()) {
        return "";
    }
    const char* const path = getenv("PATH");
    return command[0].find('/') != std::string::npos
               ? command[0]
               : onPath(command[0], path != nullptr ? path : "/usr/bin:/bin");
}

// The lesson's cases and the instructor's, or the one --case names.
// Throws RefusedCases.
Lesson lessonToCheck(const std::string& name, const Settings& settings) {
    Lesson lesson = chosenLesson(name, settings);
    if (!settings.caseName.empty()) {
        const auto named =
            std::find_if(lesson.cases.begin(), lesson.cases.end(),
                         [&](const Case& one) { return one.name == settings.caseName; });
        if (named == lesson.cases.end()) {
            throw UsageError(name + " has no case named " + quoted(settings.caseName));
        }
        lesson.cases = {*named};
    }
    return lesson;
}

// Checks the version, confined as the plan says, each case's result to the
// report as it comes.  Throws CannotStart and NoVersion.
void checkConfined(const Lesson& lesson, const std::vector<std::string>& command, bool ownProgram,
                   const ConfinementPlan& plan, const Settings& settings, VersionReport& report,
                   VersionResult& version) {
    LessonsOwn learned(lesson, settings.check);
    if (!ownProgram && isHandIn(command)) {
        // A folder or sources, found and built as a class check's are.
        const std::unique_ptr<Confinement> confinement =
            Confinement::forVersion(command[0], lesson.name, plan);
        checkHandIn(lesson, learned, *confinement, settings.check, version, [&](CaseResult result) {
            markResult(lesson, result);
            report.add(result);
        });
        markAll(lesson, version);
        return;
    }
    const std::unique_ptr<Confinement> confinement = Confinement::forCommand(command, plan);
    if (!confinement->note().empty()) {
        std::cerr << "lessons-check: note: " << confinement->note() << "\n";
    }
    checkVersion(lesson, learned, confinement->program(), settings.check, [&](CaseResult result) {
        markResult(lesson, result);
        report.add(result);
        version.cases.push_back(std::move(result));
    });
}

int checkLesson(const std::string& name, std::vector<std::string> command,
                const Settings& settings) {
    const Lesson lesson = lessonToCheck(name, settings);
    const fs::path own = lessonsOwnProgram(name);
    const bool ownProgram = command.empty();
    if (ownProgram) {
        command.push_back(own.string());
    }
    command = scriptRun(command);
    ConfinementPlan plan = confinementPlan(settings);
    if (ownProgram) {
        // The lesson's own program, checked as a version is: shown to itself.
        plan.masked.erase(std::remove(plan.masked.begin(), plan.masked.end(), own.string()),
                          plan.masked.end());
    }
    // Where nothing confines the version, that is said before it runs.
    const std::string whyNot = confinementShortfall(plan);
    if (!whyNot.empty() && !settings.strict) {
        std::cerr << "lessons-check: note: the version runs unconfined here (" << whyNot
                  << "): it may reach the network and the user's files; only the caps on "
                     "processes and memory hold\n";
    }
    if (!ownProgram) {
        requireCasesKeptFrom(settings.cases, lesson, singleCheckShows(command), whyNot.empty());
    }
    ReportTarget target(settings.format, settings.output);
    const std::unique_ptr<VersionReport> report = target.versionReport();
    VersionResult version;
    version.lesson = lesson.name;
    version.command = command;
    version.caseCount = lesson.cases.size();
    version.outOf = lesson.points();
    report->begin(version);
    const auto unchecked = [&](const std::string& why) {
        version.error = why;
        return target.closed(report->finish(version));
    };
    if (!ownProgram) {
        if (const std::string what = isLessonsOwn(programOf(command), name); !what.empty()) {
            // A verdict, not a usage error: it earns no pass.
            unchecked(what);
            return FAILED;
        }
    }
    if (!whyNot.empty() && settings.strict) {
        // Not the version's fault: it could not run here.
        unchecked("cannot confine the version here (--confine=strict): " + whyNot);
        return FAILED;
    }
    if (!ownProgram && rootWithNoOtherUser()) {
        unchecked(ROOT_ALONE);
        return FAILED;
    }
    endRunsOnInterrupt();
    try {
        checkConfined(lesson, command, ownProgram, plan, settings, *report, version);
    } catch (const CannotStart& error) {
        return unchecked(error.what());
    } catch (const NoVersion& error) {
        return unchecked(error.what());
    } catch (const Interrupted&) {
        // What was checked is shown; the cases left were not run.
        report->finish(version);
        return 128 + SIGINT;
    }
    return target.closed(report->finish(version));
}

// The number of seconds an option gives, or 0 when it is not one.
double readSeconds(const std::string& text, double most) {
    std::istringstream in(text);
    double seconds = 0;
    return in >> seconds && in.peek() == EOF && seconds > 0 && seconds <= most ? seconds : 0;
}

// The whole number an option gives, from 1 to most, or 0 when it is not one.
unsigned long long readCount(const std::string& text, unsigned long long most) {
    std::istringstream in(text);
    unsigned long long count = 0;
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos &&
                   in >> count && count >= 1 && count <= most
               ? count
               : 0;
}

// The command line, read: options may stand anywhere before COMMAND, as
// --name VALUE or --name=VALUE.
class CommandLine {
public:
    explicit CommandLine(std::vector<std::string> args) : args(std::move(args)) {}

    // Reads everything; what is not an option is the lesson, the command or
    // the versions.
    void read(Settings& settings) {
        bool ended = false;  // after "--", nothing more is an option
        const auto optionsEnd = std::find(args.begin(), args.end(), "--");
        merging = std::find(args.begin(), optionsEnd, "--merge") != optionsEnd;
        for (at = 0; at < args.size(); ++at) {
            const std::string& arg = args[at];
            if (!ended && arg == "--") {
                ended = true;
            } else if (!ended && !(each && exists(arg)) && isOption(arg)) {
                option(arg, settings);
            } else if (merging) {
                versions.push_back(arg);  // the shards' files
            } else if (lesson.empty() && !listing) {
                lesson = arg;
            } else if (!each && arg == "--each" && !ended && command.empty()) {
                each = true;
            } else if (each) {
                versions.push_back(arg);
            } else {
                // COMMAND: from here on every word is the version's own.
                command.assign(args.begin() + static_cast<std::ptrdiff_t>(at), args.end());
                break;
            }
        }
    }

    std::string lesson;
    std::vector<std::string> command, versions;
    bool each = false, listing = false, helping = false, telling = false, merging = false;

private:
    // After --each, a word that names a file or folder is a version, whatever
    // it looks like: a file named "--output=report" that a glob gave is a
    // version, not an option.
    static bool exists(const std::string& arg) {
        std::error_code none;
        return std::filesystem::exists(std::filesystem::symlink_status(arg, none));
    }

    // Only an option of lessons-check's own: a folder named "--help/" or
    // "-rf" is a version, a word of a command.
    bool isOption(const std::string& arg) const {
        if (arg.rfind("--", 0) != 0 || (arg == "--each" && !lesson.empty())) {
            return false;
        }
        const std::string name = arg.substr(0, arg.find('='));
        static const char* const known[] = {
            "--timeout",       "--budget",     "--jobs",    "--format",     "--max-tasks",
            "--max-processes", "--max-memory", "--confine", "--unconfined", "--list",
            "--help",          "--version",    "--output",  "--cases",      "--only-cases",
            "--shard",         "--merge",      "--case"};
        return std::any_of(std::begin(known), std::end(known),
                           [&](const char* option) { return name == option; });
    }

    // The option's value: after its "=", or the next word.
    std::string value(const std::string& arg) {
        const std::size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            return arg.substr(equals + 1);
        }
        if (at + 1 >= args.size()) {
            throw UsageError(arg + " takes a value");
        }
        return args[++at];
    }

    void option(const std::string& arg, Settings& settings) {
        const std::string name = arg.substr(0, arg.find('='));
        if (name == "--timeout") {
            settings.check.timeoutSeconds = readSeconds(value(arg), 3600);
            require(settings.check.timeoutSeconds > 0,
                    "--timeout takes a number of seconds, up to 3600");
        } else if (name == "--budget") {
            settings.check.budgetSeconds = readSeconds(value(arg), 86400);
            require(settings.check.budgetSeconds > 0,
                    "--budget takes a number of seconds, up to 86400");
        } else if (name == "--jobs") {
            settings.jobs = static_cast<unsigned>(readCount(value(arg), 1024));
            require(settings.jobs > 0, "--jobs takes a number of versions, from 1 to 1024");
        } else if (name == "--format") {
            require(readFormat(value(arg), settings.format),
                    std::string("--format takes ") + formatNames());
        } else if (name == "--max-tasks" || name == "--max-processes") {
            settings.tasks = static_cast<unsigned>(readCount(value(arg), 4096));
            require(settings.tasks > 0, name + " takes a number, from 1 to 4096");
        } else if (name == "--max-memory") {
            settings.memoryMiB = readCount(value(arg), 1 << 20);
            require(settings.memoryMiB > 0,
                    "--max-memory takes a number of MiB, from 1 to 1048576");
        } else if (name == "--confine") {
            require(value(arg) == "strict", "--confine takes strict (--confine=strict)");
            settings.strict = true;
        } else if (name == "--case") {
            settings.caseName = value(arg);
            require(!settings.caseName.empty(), "--case takes the name of a case");
        } else if (name == "--unconfined") {
            flag(arg);
            settings.unconfined = true;
        } else if (name == "--output") {
            settings.output = value(arg);
            require(!settings.output.empty(), "--output takes a file");
        } else if (name == "--cases" || name == "--only-cases") {
            const std::string folder = value(arg);
            require(!folder.empty(), name + " takes a folder of cases");
            (name == "--cases" ? settings.cases.added : settings.cases.only).push_back(folder);
        } else if (name == "--shard") {
            readShard(value(arg), settings);
        } else if (name == "--merge") {
            flag(arg);
        } else {
            flag(arg);
            (name == "--list" ? listing : name == "--help" ? helping : telling) = true;
        }
    }

    // K/N, from 1/1 to 1000/1000.
    static void readShard(const std::string& text, Settings& settings) {
        const std::size_t slash = text.find('/');
        const std::string k = text.substr(0, slash);
        const std::string n = slash == std::string::npos ? "" : text.substr(slash + 1);
        settings.shardK = static_cast<unsigned>(readCount(k, 1000));
        settings.shardN = static_cast<unsigned>(readCount(n, 1000));
        require(settings.shardK > 0 && settings.shardN >= settings.shardK,
                "--shard takes K/N, the K-th of N parts, from 1/1 to 1000/1000");
    }

    void flag(const std::string& arg) const {
        require(arg.find('=') == std::string::npos,
                arg.substr(0, arg.find('=')) + " takes no value");
    }

    static void require(bool holds, const std::string& otherwise) {
        if (!holds) {
            throw UsageError(otherwise);
        }
    }

    std::vector<std::string> args;
    std::size_t at = 0;
};

int checkEach(const CommandLine& line, const Settings& settings) {
    const Lesson lesson = lessonToCheck(line.lesson, settings);
    if (rootWithNoOtherUser()) {
        std::cerr << "lessons-check: " << ROOT_ALONE << "\n";
        return FAILED;
    }
    if (line.versions.empty()) {
        throw UsageError("--each takes the versions to check: folders or files");
    }
    ConfinementPlan plan = confinementPlan(settings);
    const std::string whyNot = confinementShortfall(plan);
    if (!whyNot.empty()) {
        if (!settings.unconfined || settings.strict) {
            std::cerr << "lessons-check: cannot confine the versions here (" << whyNot
                      << "): no version was run; --unconfined runs them all the same, with "
                         "nothing between them and the user's files and network\n";
            return FAILED;
        }
        std::cerr << "lessons-check: note: the versions run unconfined here (" << whyNot
                  << "), as --unconfined asks: they may reach the network, the user's files "
                     "and one another\n";
    }
    // Each version is shown a copy of its own folder or file.
    requireCasesKeptFrom(settings.cases, lesson, {line.versions.begin(), line.versions.end()},
                         whyNot.empty());
    ClassCheck check;
    check.lesson = lesson;
    check.versions = settings.shardN == 0 ? line.versions
                                          : shard(line.versions, settings.shardK, settings.shardN);
    check.jobs = settings.jobs;
    check.format = settings.format;
    check.settings = settings.check;
    check.plan = plan;
    ReportTarget target(settings.format, settings.output);
    const std::unique_ptr<ClassReport> report = target.classReport();
    return target.closed(checkClass(check, *report));
}

int merge(const CommandLine& line, const Settings& settings) {
    if (line.versions.empty()) {
        throw UsageError("--merge takes the shards' JSON files");
    }
    if (line.each || settings.shardN > 0 || settings.cases.any()) {
        throw UsageError("--merge takes only files, --format and --output");
    }
    ReportTarget target(settings.format, settings.output);
    const std::unique_ptr<ClassReport> report = target.classReport();
    return target.closed(mergeShards(line.versions, *report));
}

int run(const std::vector<std::string>& args) {
    Settings settings;
    CommandLine line(args);
    try {
        line.read(settings);
        if (line.helping) {
            std::cout << HELP;
            return 0;
        } else if (line.telling) {
            std::cout << VERSION;
            return 0;
        } else if (line.merging) {
            return merge(line, settings);
        } else if (line.listing) {
            return line.lesson.empty() && line.command.empty()
                       ? listLessons()
                       : usageError("--list takes no arguments");
        } else if (line.lesson.empty()) {
            return usageError("missing PROGRAM, the lesson to check");
        } else if (settings.shardN > 0 && !line.each) {
            return usageError("--shard takes a class: PROGRAM --each VERSION...");
        }
        return line.each ? checkEach(line, settings)
                         : checkLesson(line.lesson, line.command, settings);
    } catch (const UsageError& error) {
        return usageError(error.what());
    } catch (const RefusedCases& error) {
        return usageError(error.what());
    } catch (const CannotWrite& error) {
        std::cerr << "lessons-check: " << error.what() << "\n";
        return USAGE;
    } catch (const UnmergeableShards& error) {
        std::cerr << "lessons-check: " << error.what() << "\n";
        return USAGE;
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

// Whether standard output is a pipe nobody reads any more.  A write that
// failed earlier in the check left std::cout failed, with errno long since
// set by other calls: the pipe itself tells.
bool readerGone() {
    struct stat status {};
    pollfd out{1, POLLOUT, 0};
    return fstat(1, &status) == 0 && S_ISFIFO(status.st_mode) && poll(&out, 1, 0) == 1 &&
           (out.revents & POLLERR) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], SUPERVISE) == 0) {
        return supervise(std::atoi(argv[2]));
    }
    // The program under check may stop reading its input at any moment.
    signal(SIGPIPE, SIG_IGN);
    const int status = run({argv + 1, argv + argc});
    if (!std::cout.flush()) {
        if (errno == EPIPE || readerGone()) {
            // The reader has gone, as `lessons-check ... | head` has it:
            // ended as cat is.
            signal(SIGPIPE, SIG_DFL);
            raise(SIGPIPE);
        }
        std::cerr << "lessons-check: write error: " << std::strerror(errno) << "\n";
        return FAILED;
    }
    return status;
}

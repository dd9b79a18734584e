#include "verdict/VersionCheck.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include "cases/ExpectedText.h"
#include "sandbox/Run.h"
#include "verdict/OwnCopies.h"

namespace fs = std::filesystem;

fs::path lessonsOwnProgram(const std::string& lesson) {
    std::error_code none;
    return fs::read_symlink("/proc/self/exe", none).parent_path() / lesson;
}

namespace {

bool sameBytes(const fs::path& one, const fs::path& other) {
    std::error_code none;
    if (fs::file_size(one, none) != fs::file_size(other, none) || none) {
        return false;
    }
    std::ifstream a(one, std::ios::binary), b(other, std::ios::binary);
    return a && b &&
           std::equal(std::istreambuf_iterator<char>(a), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(b));
}

}  // namespace

namespace {

// The interpreter a script's first line names ("#!/x/y -z" names /x/y).
std::string interpreterOf(const fs::path& script) {
    std::ifstream in(script, std::ios::binary);
    char start[256] = {};
    in.read(start, sizeof start - 1);
    const std::string line(start, static_cast<std::size_t>(in.gcount()));
    if (line.rfind("#!", 0) != 0) {
        return "";
    }
    const std::size_t from = line.find_first_not_of(" \t", 2);
    const std::size_t to = line.find_first_of(" \t\n", from == std::string::npos ? 2 : from);
    return from == std::string::npos ? "" : line.substr(from, to - from);
}

}  // namespace

std::string isLessonsOwn(const std::string& program, const std::string& lesson) {
    std::error_code none;
    const fs::path own = lessonsOwnProgram(lesson);
    if (program.empty() || !fs::is_regular_file(program, none) || !fs::exists(own, none)) {
        return "";
    }
    if (fs::equivalent(program, own, none) || sameBytes(program, own)) {
        return quoted(program) + " is the lesson's own program, not a version of it";
    }
    // A script the lesson's own program would run, as its interpreter.
    if (const std::string interpreter = interpreterOf(program); !interpreter.empty()) {
        if (fs::equivalent(interpreter, own, none) || sameBytes(interpreter, own)) {
            return quoted(program) + " starts the lesson's own program, which is no version of it";
        }
    }
    return "";
}

LessonsOwn::LessonsOwn(const Lesson& lesson, const CheckSettings& settings)
    : lesson(lesson),
      settings(settings),
      own{&runner, {}, {}},
      found(access(lessonsOwnProgram(lesson.name).c_str(), X_OK) == 0),
      kept(lesson, lessonsOwnProgram(lesson.name)) {
    own.request.argv = {lessonsOwnProgram(lesson.name).string()};
    own.request.environment = environmentWith();
    if (!lesson.clock.empty()) {
        stopClock(own.request, lesson.clock, faketimeLibrary());
    }
}

LessonsOwn::~LessonsOwn() {
    kept.save();
}

const LessonWaits* LessonsOwn::waitsIn(const Case& lessonCase, std::string* whyNot) {
    if (const auto known = learned.find(lessonCase.name); known != learned.end()) {
        return &known->second;
    } else if (const auto reason = failed.find(lessonCase.name); reason != failed.end()) {
        *whyNot = reason->second;
        return nullptr;
    } else if (!found) {
        *whyNot = "the lesson's own program, which shows where it waits, is not installed at " +
                  lessonsOwnProgram(lesson.name).string();
        return nullptr;
    }
    LessonWaits waits;
    if (kept.find(lessonCase, waits)) {
        return &(learned[lessonCase.name] = waits);
    }
    const Expected expected(lessonCase.expected);
    const Problems problems = learnWaits(own, typedLines(readFile(lessonCase.input)), expected,
                                         lesson.waitTexts, settings.timeoutSeconds, waits);
    if (!problems.none()) {
        *whyNot = failed[lessonCase.name] =
            "the lesson's own program fails this case at a terminal: " +
            problems.found.front().what;
        return nullptr;
    }
    kept.keep(lessonCase, waits);
    return &(learned[lessonCase.name] = waits);
}

void LessonsOwn::learnAll() {
    if (lesson.waitTexts.empty()) {
        return;
    }
    for (const Case& lessonCase : lesson.cases) {
        std::string whyNot;
        try {
            waitsIn(lessonCase, &whyNot);
        } catch (const NotTypable&) {
            // Checked through a pipe only, by every version alike.
        }
    }
    kept.save();
}

namespace {

CaseResult caseResult(const Case& lessonCase, Status status, const std::string& note) {
    CaseResult result;
    result.name = lessonCase.name;
    result.status = status;
    result.note = note;
    result.files = {lessonCase.input.string(), lessonCase.expected.string()};
    // The case's input, run or not: a report shows what the case is.
    result.input = readFile(lessonCase.input);
    return result;
}

// Both checks of one case: through a pipe, then (once that passed, and for a
// lesson that reads input) typed at a terminal.  Throws CannotStart.
CaseResult checkCase(const Lesson& lesson, const Case& lessonCase, VersionRuns& runs,
                     LessonsOwn& lessonsOwn) {
    const std::string input = readFile(lessonCase.input);
    const Expected expected(lessonCase.expected);
    CaseResult result = caseResult(lessonCase, Status::Pass, "");
    Problems problems = checkThroughPipe(runs, input, expected, &result.output);
    if (problems.none() && !lesson.waitTexts.empty()) {
        try {
            const std::vector<std::string> lines = typedLines(input);
            std::string whyNot;
            if (const LessonWaits* waits = lessonsOwn.waitsIn(lessonCase, &whyNot)) {
                problems = checkAtTerminal(runs, lines, expected, *waits, true);
            } else {
                result.note = "through a pipe only: " + whyNot;
            }
        } catch (const NotTypable& reason) {
            result.note = "through a pipe only: " + reason.why;
        }
    }
    if (!problems.none()) {
        result.status = Status::Fail;
        result.problems = std::move(problems.found);
    }
    return result;
}

// A version that never ends costs the timeout at every case: once it has
// not ended in this many cases, the others are not run.
constexpr int CASES_OUT_OF_TIME = 2;

// Whether a run of the case was stopped at the timeout, as the checks tell it.
bool ranOutOfTime(const CaseResult& result, double timeoutSeconds) {
    RunResult timedOut;
    timedOut.timedOut = true;
    const std::string stopped = "the program " + timedOut.describe(timeoutSeconds);
    return std::any_of(result.problems.begin(), result.problems.end(), [&](const Problem& problem) {
        return problem.what.find(stopped) != std::string::npos;
    });
}

std::string seconds(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

}  // namespace

void checkVersion(const Lesson& lesson, LessonsOwn& lessonsOwn, Program& version,
                  const CheckSettings& settings, const std::function<void(CaseResult)>& report) {
    // Why the cases left are not run, once they are not.
    std::string notRun;
    if (!lesson.clock.empty()) {
        const std::string library = faketimeLibrary();
        if (library.empty()) {
            notRun = "they stop the clock at " + lesson.clock +
                     " with libfaketime, which is not installed (Debian package: faketime)";
        }
        stopClock(version.request, lesson.clock, library);
    }
    VersionRuns runs(version, settings.timeoutSeconds);
    const auto started = std::chrono::steady_clock::now();
    int outOfTime = 0;
    for (const Case& lessonCase : lesson.cases) {
        const double spent =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (notRun.empty() && spent > settings.budgetSeconds) {
            notRun = "the version's runs took more than its budget of " +
                     seconds(settings.budgetSeconds) + " s (--budget)";
        }
        if (!notRun.empty()) {
            report(caseResult(lessonCase, Status::Error, notRun));
            continue;
        }
        CaseResult result = checkCase(lesson, lessonCase, runs, lessonsOwn);
        outOfTime += ranOutOfTime(result, settings.timeoutSeconds) ? 1 : 0;
        if (outOfTime == CASES_OUT_OF_TIME) {
            notRun = std::to_string(outOfTime) + " cases did not end within " +
                     seconds(settings.timeoutSeconds) + " s";
        }
        report(std::move(result));
    }
}

namespace {

// The path as the user would type it from here: relative when it lies below.
fs::path asTyped(const fs::path& path) {
    std::error_code none;
    const fs::path relative = path.lexically_relative(fs::current_path(none));
    return relative.empty() || *relative.begin() == ".." ? path : relative;
}

}  // namespace

void checkHandIn(const Lesson& lesson, LessonsOwn& lessonsOwn, Confinement& confinement,
                 const CheckSettings& settings, VersionResult& version,
                 const std::function<void(const CaseResult&)>& each) {
    version.command = confinement.shownCommand();
    version.error = isLessonsOwn(confinement.versionsProgram(), lesson.name);
    if (version.error.empty()) {
        const fs::path copy = copyOfProgram(confinement.files(), lessonsOwnProgram(lesson.name));
        if (!copy.empty()) {
            version.error = quoted(asTyped(copy).string()) +
                            " is a copy of the lesson's own program, which no version may run";
        }
    }
    if (!version.error.empty()) {
        return;
    }
    // A build takes its time out of the version's budget.
    const auto started = std::chrono::steady_clock::now();
    std::string said;
    version.error = confinement.build(std::min(settings.budgetSeconds, 120.0), &said);
    if (!version.error.empty()) {
        version.errorDetail = said;
        return;
    }
    CheckSettings left = settings;
    left.budgetSeconds -=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    checkVersion(lesson, lessonsOwn, confinement.program(), left, [&](CaseResult result) {
        each(result);
        version.cases.push_back(std::move(result));
    });
}

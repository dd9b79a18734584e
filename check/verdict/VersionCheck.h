// The check of one version against every case of a lesson, case by case.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "cases/Lesson.h"
#include "report/Report.h"
#include "sandbox/Runner.h"
#include "verdict/CaseCheck.h"

struct CheckSettings {
    double timeoutSeconds = 5;   // each run's
    double budgetSeconds = 300;  // all of a version's runs together
};

// The lesson's own program, beside lessons-check.
std::filesystem::path lessonsOwnProgram(const std::string& lesson);

// "" unless the program is one of the lessons' own, by its path or by its
// bytes; then what to tell of it.
std::string isLessonsOwn(const std::string& program, const std::string& lesson);

// The lesson's own program, run as the checker trusts it, unconfined: it
// shows where each of the lesson's waits comes.
class LessonsOwn {
public:
    LessonsOwn(const Lesson& lesson, const CheckSettings& settings);
    // Null where it is not installed.
    Program* program() { return found ? &own : nullptr; }

private:
    LocalRunner runner;
    Program own;
    bool found;
};

// Checks the version against every case, handing each result on as it
// comes.  Throws CannotStart when the version cannot be started at all.
void checkVersion(const Lesson& lesson, LessonsOwn& lessonsOwn, Program& version,
                  const CheckSettings& settings, const std::function<void(CaseResult)>& result);

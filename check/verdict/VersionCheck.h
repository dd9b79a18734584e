// The check of one version against every case of a lesson, case by case.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "cases/Lesson.h"
#include "report/Report.h"
#include "sandbox/Confinement.h"
#include "sandbox/Runner.h"
#include "verdict/CaseCheck.h"
#include "verdict/KeptWaits.h"

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
// shows where each of the lesson's waits comes, learned once a case for all
// the versions checked.
class LessonsOwn {
public:
    LessonsOwn(const Lesson& lesson, const CheckSettings& settings);
    ~LessonsOwn();
    LessonsOwn(const LessonsOwn&) = delete;
    LessonsOwn& operator=(const LessonsOwn&) = delete;
    // Where the lesson's program waits in the case, or null, with why it
    // cannot tell in *whyNot (not installed, or it fails the case itself).
    const LessonWaits* waitsIn(const Case& lessonCase, std::string* whyNot);
    // Learns every case's waits now: a class check's versions, forked,
    // each find them learned.
    void learnAll();
    // The program itself, to be checked as a version is; null where it is
    // not installed.
    Program* program() { return found ? &own : nullptr; }

private:
    const Lesson& lesson;
    const CheckSettings& settings;
    LocalRunner runner;
    Program own;
    bool found;
    KeptWaits kept;  // learned by earlier checks
    std::map<std::string, LessonWaits> learned;
    std::map<std::string, std::string> failed;  // why a case's waits could not be learned
};

// Checks the version against every case, handing each result on as it
// comes.  Throws CannotStart when the version cannot be started at all.
void checkVersion(const Lesson& lesson, LessonsOwn& lessonsOwn, Program& version,
                  const CheckSettings& settings, const std::function<void(CaseResult)>& result);

// Checks a version handed in as a folder or a file, confined: that it is
// not the lesson's own program, its build when it has sources, then every
// case.  The results go into `version`, each case also to `each` as it comes.
void checkHandIn(const Lesson& lesson, LessonsOwn& lessonsOwn, Confinement& confinement,
                 const CheckSettings& settings, VersionResult& version,
                 const std::function<void(const CaseResult&)>& each);

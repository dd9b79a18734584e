// A lesson's cases as lessons-check finds them: a folder for each lesson,
// named after its program, holding
//     <case>.in      the exact bytes typed
//     <case>.out     the exact bytes printed, or
//     <case>.match   the lines printed, with placeholders (ExpectedText.h)
//     waits          for a lesson that reads input: what its screen may end
//                    with while it waits, one C-style quoted text a line
//     clock          for a lesson that seeds from the clock: the time its
//                    cases stop it at, "yyyy-mm-dd hh:mm:ss" (UTC)
//     points         what cases are worth, where not a point each: a line
//                    "<case> <points>" for each, a whole number up to 1000
//
// An instructor's own folder of cases (--cases, --only-cases) holds cases
// and a points file the same way, and in a subfolder hidden/ the cases
// whose input and expected output no report shows.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "report/Results.h"
#include "sandbox/Supervisor.h"

struct Case {
    std::string name;
    std::filesystem::path input, expected;
    unsigned points = 1;
    bool hidden = false;
};

struct Lesson {
    // What all its cases are worth together.
    unsigned points() const;
    // The case of that name, or null.
    const Case* find(const std::string& caseName) const;

    std::string name;
    std::vector<Case> cases;             // in name order
    std::vector<std::string> waitTexts;  // none for a lesson that reads nothing
    std::string clock;                   // "" for a lesson that does not read the clock
};

// Reads the lesson whose cases are in the folder; throws std::runtime_error
// when a case lacks its expected output or a file cannot be read.
Lesson readLesson(const std::filesystem::path& folder);

// An instructor's folder of cases: its own, then those of hidden/, hidden,
// each in name order.  Throws std::runtime_error, saying which file is
// amiss, where a folder holds no case, an expected output has no input, or
// the points file names no case of its folder.
std::vector<Case> readInstructorsCases(const std::filesystem::path& folder);

// The lesson with the cases added, after its own or (replacing) instead of
// them.  Throws std::runtime_error where two cases would share a name.
Lesson withCases(Lesson lesson, const std::vector<Case>& added, bool replacing);

// The result given its case's points, and marked hidden where the case is.
void markResult(const Lesson& lesson, CaseResult& result);

// The texts a waits file lists, unquoted.
std::vector<std::string> readWaitTexts(const std::filesystem::path& path);

// The folder that holds a folder of cases for each lesson, found from where
// the running program is: share/console-lessons/cases beside its bin folder,
// in the build tree and once installed alike.
std::filesystem::path casesFolder();

// libfaketime as Debian installs it, or "" when it is not installed.
std::string faketimeLibrary();

// Stops the run's clock at `clock`, with libfaketime preloaded.
void stopClock(RunRequest& request, const std::string& clock, const std::string& library);

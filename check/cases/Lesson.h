// A lesson's cases as lessons-check finds them: a folder for each lesson,
// named after its program, holding
//     <case>.in      the exact bytes typed
//     <case>.out     the exact bytes printed, or
//     <case>.match   the lines printed, with placeholders (ExpectedText.h)
//     waits          for a lesson that reads input: what its screen may end
//                    with while it waits, one C-style quoted text a line
//     clock          for a lesson that seeds from the clock: the time its
//                    cases stop it at, "yyyy-mm-dd hh:mm:ss" (UTC)
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "sandbox/Supervisor.h"

struct Case {
    std::string name;
    std::filesystem::path input, expected;
};

struct Lesson {
    // What all its cases are worth: a point each.
    unsigned points() const { return static_cast<unsigned>(cases.size()); }

    std::string name;
    std::vector<Case> cases;             // in name order
    std::vector<std::string> waitTexts;  // none for a lesson that reads nothing
    std::string clock;                   // "" for a lesson that does not read the clock
};

// Reads the lesson whose cases are in the folder; throws std::runtime_error
// when a case lacks its expected output or a file cannot be read.
Lesson readLesson(const std::filesystem::path& folder);

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

// A class check: many versions of one lesson, each a folder or a file, each
// checked by a lessons-check of its own, several at a time.
//
// A version's check is a process of its own because a check ends every
// process it finds among its children once a run of the version ends: two
// checks in one process would end each other's programs.  Each check hands
// its result back as its JSON (Report.h), and the class's report shows the
// versions in the order they were given, whichever ended first.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "report/Report.h"

struct ClassCheck {
    std::string lesson;
    std::vector<std::string> versions;  // folders and files, as given
    std::vector<std::string> options;   // given to each version's check as they are
    unsigned jobs = 1;                  // how many checks run at a time
    Format format = Format::Human;
};

// Checks every version and shows the class's report; the exit status: 0
// when every version passed, else 1.
int checkClass(const ClassCheck& check);

// The version cannot be started: a folder without one, a file that is no
// program.  The message says what was looked for.
struct NoVersion : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// How a version is started.  A folder holds the lesson's program as the
// first of: an executable file named after the lesson, LESSON.py (run by
// python3), LESSON.js (run by node), or a makefile, whose "run" target
// make runs in that folder.  A file is run by python3 or node by its
// ending, .py or .js, else as the program itself.  Throws NoVersion.
std::vector<std::string> commandFor(const std::string& version, const std::string& lesson);

// How many checks run at a time unless told: one for each processor.
unsigned defaultJobs();

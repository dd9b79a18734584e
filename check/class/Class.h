// A class check: many versions of one lesson, each a folder or a file, each
// checked in a process of its own, several at a time.
//
// Each version's check is a child of the class check's, forked: it has the
// lesson's cases already read, confines the version in a sandbox of its own
// and hands its results back as their JSON (report/Report.h), on a pipe
// that only the two hold.
// The class's report shows the versions in the order they were given,
// whichever ended first.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "report/Report.h"
#include "sandbox/Confinement.h"
#include "verdict/VersionCheck.h"

struct ClassCheck {
    std::string lesson;
    std::vector<std::string> versions;  // folders and files, as given
    unsigned jobs = 1;                  // how many checks run at a time
    Format format = Format::Human;
    CheckSettings settings;
    ConfinementPlan plan;
};

// Checks every version and shows the class's report; the exit status: 0
// when every version passed, else 1.
int checkClass(const ClassCheck& check);

// The version cannot be started: a folder without one, a file that is no
// program.  The message says what was looked for.
struct NoVersion : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// How a version is started, in its own folder.  A folder holds the lesson's
// program as the first of: a file named after the lesson that is
// executable (or a link), LESSON.py (run by python3), LESSON.js (run by
// node), or a makefile, whose "run" target make runs.  A file is run by
// python3 or node by its ending, .py or .js, else as the program itself.
// No link is followed to find it.  Throws NoVersion.
std::vector<std::string> commandFor(const std::string& version, const std::string& lesson);

// The file on this machine that the command runs as the version's program,
// or "" for none (make, an interpreter's script).
std::string versionsProgram(const std::string& version, const std::vector<std::string>& command);

// How many checks run at a time unless told: one for each processor.
unsigned defaultJobs();

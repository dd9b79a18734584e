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
    std::string onlyCase;  // the one case to check, or "" for all
};

// Checks every version and shows the class's report; the exit status: 0
// when every version passed, else 1.
int checkClass(const ClassCheck& check);

// How many checks run at a time unless told: one for each processor.
unsigned defaultJobs();

// A class check: many versions of one lesson, each a folder or a file, each
// checked in a process of its own, several at a time.
//
// Each version's check is a child of the class check's, forked: it has the
// lesson's cases already read, confines the version in a sandbox of its own
// and hands its results back as their JSON (report/Report.h), on a pipe
// that only the two hold.
// The class's report shows the versions in the order they were given,
// whichever ended first.
//
// A class too large for one machine is checked in shards, each the K-th of
// N parts of the versions, on a machine of its own; the shards' JSON
// merged is the report one check of the whole class gives.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "cases/Lesson.h"
#include "report/Report.h"
#include "sandbox/Confinement.h"
#include "verdict/VersionCheck.h"

struct ClassCheck {
    Lesson lesson;                      // with the instructor's cases
    std::vector<std::string> versions;  // folders and files, as given
    unsigned jobs = 1;                  // how many checks run at a time
    Format format = Format::Human;
    CheckSettings settings;
    ConfinementPlan plan;
};

// Checks every version and shows the class's report; the exit status: 0
// when every version passed, else 1.
int checkClass(const ClassCheck& check, ClassReport& report);

// The K-th (from 1) of N parts of the versions, in their order: parts in
// a row, whose sizes differ by one at most.
std::vector<std::string> shard(const std::vector<std::string>& versions, unsigned k, unsigned n);

// Shards' JSON that cannot be merged: unreadable, of other lessons, or of a
// check that was interrupted.
struct UnmergeableShards : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Shows the class the shards' JSON files hold, given in the order of their
// shards, as one report; its exit status as checkClass's.  Throws
// UnmergeableShards.
int mergeShards(const std::vector<std::string>& files, ClassReport& report);

// How many checks run at a time unless told: three for every two
// processors, as a check still waits on its runs a third of its time.
unsigned defaultJobs();

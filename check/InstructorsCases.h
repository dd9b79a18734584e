// An instructor's own cases (--cases DIR, --only-cases DIR): read into the
// lesson (cases/Lesson.h), each held to the lesson's own program before any
// version runs, and kept where no version can read them.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "cases/Lesson.h"
#include "verdict/VersionCheck.h"

// The folders as given: cases added to the lesson's, or (only) instead.
struct CaseFolders {
    std::vector<std::string> added, only;
    bool any() const { return !added.empty() || !only.empty(); }
};

// Cases that a check cannot take, and why: a usage error.
struct RefusedCases : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The lesson with the instructor's cases, once the lesson's own program
// passed each (a case it fails expects the wrong output).  Throws
// RefusedCases, with the lesson's program's report where it failed one.
Lesson withInstructorsCases(const Lesson& lesson, const CaseFolders& folders,
                            const CheckSettings& settings);

// The folders, each as a sandbox masks it: whole, without links.
std::vector<std::string> caseFolderPaths(const CaseFolders& folders);

// Throws RefusedCases where a version could read the folders: where they
// lie within what it is shown (the folder a single check runs in, a
// class's versions), or where it runs unconfined (confined false): as
// nobody, a file others may read; as the user itself, any hidden case.
void requireCasesKeptFrom(const CaseFolders& folders, const Lesson& lesson,
                          const std::vector<std::filesystem::path>& shown, bool confined);

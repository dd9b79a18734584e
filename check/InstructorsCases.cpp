#include "InstructorsCases.h"

#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "report/Report.h"
#include "sandbox/Paths.h"

namespace fs = std::filesystem;

namespace {

// The user an unconfined version runs as when the checker is root.
constexpr unsigned NOBODY = 65534;

std::vector<Case> casesOf(const std::vector<std::string>& folders) {
    std::vector<Case> cases;
    for (const std::string& folder : folders) {
        const std::vector<Case> more = readInstructorsCases(folder);
        cases.insert(cases.end(), more.begin(), more.end());
    }
    return cases;
}

// The lesson's own program's report on the cases, where it did not pass
// every one; else "".
std::string ownProgramsFailures(const Lesson& lesson, const CheckSettings& settings) {
    LessonsOwn reference(lesson, settings), checked(lesson, settings);
    if (checked.program() == nullptr) {
        throw RefusedCases("the cases cannot be held to the lesson's own program, " +
                           lessonsOwnProgram(lesson.name).string() + ", which is not there");
    }
    VersionResult version;
    version.lesson = lesson.name;
    version.command = {lessonsOwnProgram(lesson.name).string()};
    version.caseCount = lesson.cases.size();
    version.outOf = lesson.points();
    // Shown to the instructor whole, a hidden case too.
    checkVersion(lesson, reference, *checked.program(), settings, [&](CaseResult result) {
        result.points = lesson.find(result.name)->points;
        version.cases.push_back(std::move(result));
    });
    if (version.status() == Status::Pass) {
        return "";
    }
    std::ostringstream text;
    const std::unique_ptr<VersionReport> report = versionReport(Format::Human, text);
    report->begin(version);
    for (const CaseResult& result : version.cases) {
        report->add(result);
    }
    report->finish(version);
    std::string failures = text.str();
    failures.pop_back();  // the line's end that a usage error adds
    return failures;
}

// Whether a user other than the owner may read the file: any other user,
// or nobody's group.
bool othersMayRead(const fs::path& file) {
    struct stat status {};
    return stat(file.c_str(), &status) == 0 &&
           ((status.st_mode & S_IROTH) != 0 || status.st_uid == NOBODY ||
            (status.st_gid == NOBODY && (status.st_mode & S_IRGRP) != 0));
}

// The first file of the folder that nobody could read, or "".
std::string readableByNobody(const fs::path& folder) {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && othersMayRead(entry.path())) {
            return entry.path().string();
        }
    }
    return "";
}

}  // namespace

Lesson withInstructorsCases(const Lesson& lesson, const CaseFolders& folders,
                            const CheckSettings& settings) {
    Lesson chosen, instructors;
    try {
        std::vector<Case> cases = casesOf(folders.only);
        const std::vector<Case> added = casesOf(folders.added);
        cases.insert(cases.end(), added.begin(), added.end());
        chosen = withCases(lesson, cases, !folders.only.empty());
        instructors = withCases(lesson, cases, true);
    } catch (const std::runtime_error& error) {
        throw RefusedCases(error.what());
    }
    const std::string failures = ownProgramsFailures(instructors, settings);
    if (!failures.empty()) {
        throw RefusedCases(
            "the lesson's own program fails a case of yours, so that case does not expect what "
            "the lesson prints:\n" +
            failures);
    }
    return chosen;
}

std::vector<std::string> caseFolderPaths(const CaseFolders& folders) {
    std::vector<std::string> paths;
    for (const auto* list : {&folders.added, &folders.only}) {
        for (const std::string& folder : *list) {
            std::error_code none;
            paths.push_back(fs::weakly_canonical(fs::absolute(folder), none).string());
        }
    }
    return paths;
}

void requireCasesKeptFrom(const CaseFolders& folders, const Lesson& lesson,
                          const std::vector<fs::path>& shown, bool confined) {
    const bool anyHidden = std::any_of(lesson.cases.begin(), lesson.cases.end(),
                                       [](const Case& each) { return each.hidden; });
    for (const std::string& folder : caseFolderPaths(folders)) {
        for (const fs::path& seen : shown) {
            std::error_code none;
            const fs::path whole = fs::weakly_canonical(fs::absolute(seen), none);
            if (folder == whole || isWithin(folder, whole)) {
                throw RefusedCases(folder + " is within " + whole.string() +
                                   ", which a version is shown a copy of: keep the cases "
                                   "outside it");
            }
        }
        if (confined) {
            continue;
        }
        if (!isMachinesRoot() && anyHidden) {
            throw RefusedCases(
                "hidden cases cannot be kept from a version that runs "
                "unconfined as the user who checks it: check where bubblewrap "
                "works, or as root, whose versions run as nobody");
        }
        const std::string readable = isMachinesRoot() ? readableByNobody(folder) : "";
        if (!readable.empty()) {
            throw RefusedCases(readable +
                               " may be read by other users, and the versions run unconfined "
                               "here as nobody: make the cases yours alone (chmod -R go-rwx " +
                               folder + ")");
        }
    }
}

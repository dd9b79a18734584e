// Where a lesson's own program waits in each of its cases, kept between
// checks in the user's cache folder.  Learning it takes a run of the
// program for every case, typed a line at a time, as long as a version's
// own runs; kept, a check of one version runs that version alone.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cases/Lesson.h"
#include "verdict/CaseCheck.h"

class KeptWaits {
public:
    // What was kept for the lesson, when its program, its prompts and this
    // checker are the ones it was learned with: a program rebuilt or a
    // checker updated starts afresh.  Nothing is kept where no cache
    // folder can be had.
    KeptWaits(const Lesson& lesson, const std::filesystem::path& program);

    // The waits kept for the case, if any that fit its expected output.
    bool find(const Case& lessonCase, LessonWaits& waits) const;
    void keep(const Case& lessonCase, const LessonWaits& waits);
    // Writes what is new, whole, in place of the file: a check that runs
    // beside it reads either file, never half of one.
    void save();

private:
    std::string keyOf(const Case& lessonCase) const;

    std::filesystem::path file;
    std::string programKey;
    std::map<std::string, LessonWaits> known;
    bool changed = false;
};

// The folder the checker keeps what it learned in: $XDG_CACHE_HOME or
// ~/.cache, then lessons-check; "" where neither is set.
std::filesystem::path cacheFolder();

// What a check of a version found, case by case: what the verdicts hand to
// the reports, and the reports only show.  Everything that came from a
// version (its output, what it wrote to standard error, the names of its
// files) is held here as the raw bytes it was; a report escapes it as its
// format needs, so that no version can write into the report itself.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class Status { Pass, Fail, Error };

// "pass", "fail", "error"
const char* statusName(Status status);

// A line of a version's output, or of its screen, that is not the one the
// case expects: a few of these show where a run went wrong.
struct DifferingLine {
    std::size_t number = 0;  // from 1: of the output, or of the screen's rows
    // The two lines, or the part of each around where they part when a line
    // is long (a report shows no more than a few KiB per case).
    std::string expected, actual;
    bool expectedMissing = false;  // the expected output had ended: no such line
    bool actualMissing = false;    // the version's output had ended: no such line
    bool pattern = false;          // expected holds placeholders (@ADDR@, @INT@, @NAN@)
    bool row = false;              // a row of a terminal's screen, not a line of output
    std::size_t from = 0;          // the column (from 0) that both excerpts start at
    // Where the two lines part, as a column of the whole line (from 0), or
    // npos when that cannot be told.
    std::size_t parting = std::string::npos;
};

// One thing a run of a case did wrong.
struct Problem {
    // In the checker's words, one line: "through a pipe, the output
    // differs", "at a terminal, after typing \"3\\n\", the prompt ... was
    // not on screen when the program waited for input".  A version's bytes
    // in it are already quoted as C++ string literals (cases/Expected.h).
    std::string what;
    std::vector<DifferingLine> lines;  // the first few lines that differ, if any
    // Further lines, in the checker's words ("the screen ended: ..."); a
    // version's bytes in them already quoted.
    std::vector<std::string> details;
    std::string errors;  // the start of what the version wrote to standard error, raw
    std::string hint;    // what is likely wrong, when the checker can tell ("" for none)
    // Problems that carry the same key in several cases are the same
    // mistake, told once with the cases named; "" never matches.
    std::string key;
};

struct CaseResult {
    std::string name;
    Status status = Status::Pass;
    unsigned points = 1;  // what the case is worth; a pass scores them all
    // An instructor's hidden case: every report shows only its name,
    // verdict and points, never its input, output or problems.
    bool hidden = false;
    std::vector<Problem> problems;   // for a failure
    std::string note;                // for a pass, a remark; for an error, why it was not run
    std::string output;              // what the version printed through a pipe, raw
    std::string input;               // the case's input, raw
    std::vector<std::string> files;  // the case's own files, for a learner to read whole
};

struct VersionResult {
    std::string name;  // in a class: the folder or file as given; else ""
    std::string lesson;
    std::vector<std::string> command;  // what was run: words as given, raw
    std::size_t caseCount = 0;         // the lesson's cases, whether or not all were run
    unsigned outOf = 0;                // the points of all the lesson's cases
    std::vector<CaseResult> cases;
    // Why the version could not be checked at all ("" when it was): no
    // version in the folder, a build that failed, a command that cannot
    // start.  It then scores 0.
    std::string error;
    std::string errorDetail;  // what goes with it, raw: a compiler's first lines

    Status status() const;
    unsigned score() const;  // the points of the cases that passed
};

// Field by field: a result read back from its JSON is the one written.
bool operator==(const DifferingLine& a, const DifferingLine& b);
bool operator==(const Problem& a, const Problem& b);
bool operator==(const CaseResult& a, const CaseResult& b);
bool operator==(const VersionResult& a, const VersionResult& b);

// How a check's results are shown: the one way into the reports.  Every
// format is fed the same results (Results.h) and only shows them:
//     human       the report a learner reads, a line as each case is checked
//     tap         TAP version 13, for prove and CI systems
//     json        exercism's results.json, with what it takes to rebuild
//                 the results: a class check's versions hand theirs back so,
//                 and --merge reads shards' back (readVersionJson)
//     junit       JUnit XML, for GitLab, Jenkins and test reporters
//     gradescope  Gradescope's autograder results.json
//     csv         a gradebook: a row for each version
//     html        one page, a grid of versions and cases
// lessons-check(1) describes each.
#pragma once

#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "report/Results.h"

enum class Format { Human, Tap, Json, Junit, Gradescope, Csv, Html };

// The format --format names, or false when it names none.
bool readFormat(const std::string& name, Format& format);

// "human, tap, json, junit, gradescope, csv or html", for a usage message.
const char* formatNames();

// The exit status of a check of one version.
constexpr int ALL_PASSED = 0;
constexpr int SOME_FAILED = 1;
constexpr int NOT_CHECKED = 2;

// One version, checked case by case: the human report shows each case as
// it comes, the other formats the whole version at the end.
class VersionReport {
public:
    virtual ~VersionReport() = default;
    // The version's lesson, command, caseCount and outOf, before any case.
    virtual void begin(const VersionResult& header) = 0;
    // Each case as it is checked.
    virtual void add(const CaseResult& result) = 0;
    // The whole version (every case added, or why it could not be checked);
    // returns ALL_PASSED, SOME_FAILED or, when it could not be checked,
    // NOT_CHECKED.
    virtual int finish(const VersionResult& whole) = 0;
};

std::unique_ptr<VersionReport> versionReport(Format format, std::ostream& out);

// A class: its versions in the order given.  The human report and TAP show
// each version as it comes; the other formats the class at the end.
class ClassReport {
public:
    virtual ~ClassReport() = default;
    virtual void begin(const std::string& lesson, const std::vector<std::string>& names) = 0;
    // Each version, in the order of the names.
    virtual void add(const VersionResult& version) = 0;
    // Returns 0 when every version passed, else 1.
    virtual int finish() = 0;
    // The check was stopped (Ctrl-C) before every version was added: what
    // is shown is a valid document as far as it got (human, TAP, JSON,
    // HTML), or nothing where a partial one would pass for a whole one
    // (JUnit, Gradescope, CSV).
    virtual void interrupted() = 0;
};

std::unique_ptr<ClassReport> classReport(Format format, std::ostream& out);

// A version's results as the json format writes them, and read back: the
// same results, but for what no report shows (an output past its first 500
// characters; a hidden case's input, output and problems).
std::string versionJson(const VersionResult& version);
VersionResult readVersionJson(const std::string& text);

// A class's results as the json format writes them, and read back.
struct ClassResults {
    std::string lesson;
    std::vector<VersionResult> versions;
    bool interrupted = false;  // the check was stopped before every version was checked
};
std::string classJson(const ClassResults& results);
ClassResults readClassJson(const std::string& text);

// A text that is not such JSON, or is cut short: what is wrong, and where.
struct UnreadableJson : std::runtime_error {
    using std::runtime_error::runtime_error;
};

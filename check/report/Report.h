// What a check of a version found, case by case, and how it is shown: the
// human report, TAP for prove and CI systems, JSON for gradebooks (close to
// the results.json of exercism's test runners), and the record that a
// check of one version hands to a class check (Class.h).
#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

enum class Status { Pass, Fail, Error };

// "pass", "fail", "error"
const char* statusName(Status status);

struct CaseResult {
    std::string name;
    Status status = Status::Pass;
    std::vector<std::string> problems;  // for a failure, each in a few lines
    std::string note;                   // for a pass, a remark; for an error, why it was not run
    std::string output;                 // what the version printed through a pipe
};

struct VersionResult {
    std::string name;  // in a class: the folder or file as given
    std::string lesson;
    std::vector<std::string> command;
    std::size_t caseCount = 0;
    std::vector<CaseResult> cases;
    std::string error;  // why the version could not be checked at all, or ""

    Status status() const;
};

enum class Format { Human, Tap, Json, Record };

// The format --format names ("human", "tap", "json"), or false when it
// names none.  The record is not one to choose: it is the class check's.
bool readFormat(const std::string& name, Format& format);

// Gathers the check of one version and shows it in its format: the human
// report a line at a time as the cases are checked, the others whole once
// the check has ended.
class VersionReport {
public:
    VersionReport(Format format, std::ostream& out) : format(format), out(out) {}

    void begin(const std::string& lesson, std::size_t caseCount,
               const std::vector<std::string>& command);
    void add(CaseResult result);
    // Shows the rest; the exit status: 0 when every case passed, else 1.
    int finish();
    // The version could not be checked (its command cannot be started):
    // shows why; the exit status 2.
    int finishUnchecked(const std::string& why);

private:
    const Format format;
    std::ostream& out;
    VersionResult result;
};

// The human report of one version, as VersionReport shows it.
void printHuman(std::ostream& out, const VersionResult& version);

// The record of a version, and the version read back from one; throws
// std::runtime_error on a text that is not a whole record.
std::string recordOf(const VersionResult& version);
VersionResult readRecord(const std::string& text);

// Shows a class's versions in a format, as they come in their order: begin,
// then each version, then finish.
class ClassReport {
public:
    ClassReport(Format format, std::ostream& out, std::string lesson)
        : format(format), out(out), lesson(std::move(lesson)) {}

    // The versions' names, in their order.
    void begin(const std::vector<std::string>& names);
    void add(VersionResult version);
    // Shows the rest; the exit status: 0 when every version passed, else 1.
    int finish();

private:
    const Format format;
    std::ostream& out;
    const std::string lesson;
    std::vector<VersionResult> versions;
    std::size_t nameWidth = 0;
};

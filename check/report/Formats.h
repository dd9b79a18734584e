// The formats' own parts, which Report.cpp puts behind Report.h: each
// format in a file of its own, the human report's texts shared by those
// that quote it.  Only report/ includes this.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>

#include "report/Report.h"

// How much of what a version printed any format shows: as much as
// exercism's results.json keeps of a test's output.
constexpr std::size_t OUTPUT_SHOWN = 500;

// The human report (Human.cpp), and the texts of it that the other formats
// show: a case's failure reads the same in every format.
std::unique_ptr<VersionReport> humanVersionReport(std::ostream& out);
std::unique_ptr<ClassReport> humanClassReport(std::ostream& out);
// The lines under a case's verdict, each indented and ending in a newline,
// a few KiB at most: its problems for a failure, why it was not run, what
// a hidden case shows; "" for a plain pass.
std::string caseReport(const CaseResult& result);
// "heatprompt: 13 cases, against ./heat"
std::string versionHeading(const VersionResult& version);
// "9 passed, 2 failed, score 9 of 11", and ", 2 not run" where some were not.
std::string tally(const VersionResult& version);
// Why a version could not be checked, with the start of what goes with it
// (a compiler's first lines) quoted on lines of their own; "" when it was.
std::string whyNotChecked(const VersionResult& version);
// A version's message in a line: why it was not checked, or its tally.
std::string versionSummary(const VersionResult& version);
// A version's whole human report, as a check of it alone shows it.
std::string humanVersion(const VersionResult& version);

// TAP (Tap.cpp): a version whole, a class as each version comes.
void writeTapVersion(std::ostream& out, const VersionResult& version);
std::unique_ptr<ClassReport> tapClassReport(std::ostream& out);

// The formats that show a version or a class whole, once it is checked.
void writeJsonVersion(std::ostream& out, const VersionResult& version);
void writeJsonClass(std::ostream& out, const ClassResults& results);
void writeJunitVersion(std::ostream& out, const VersionResult& version);
void writeJunitClass(std::ostream& out, const ClassResults& results);
void writeGradescopeVersion(std::ostream& out, const VersionResult& version);
void writeGradescopeClass(std::ostream& out, const ClassResults& results);
void writeCsvVersion(std::ostream& out, const VersionResult& version);
void writeCsvClass(std::ostream& out, const ClassResults& results);
void writeHtmlVersion(std::ostream& out, const VersionResult& version);
void writeHtmlClass(std::ostream& out, const ClassResults& results);

// The cases of each status.
std::size_t countOf(const VersionResult& version, Status status);

// "1 case", "13 cases"
std::string counted(std::size_t count, const std::string& what);

// Where a check's report goes: standard output, or with --output FILE that
// file, and then the human report on standard output, for whoever watches
// the check as it goes.
#pragma once

#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "report/Report.h"

// The file cannot be written: the check does not start.
struct CannotWrite : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class ReportTarget {
public:
    // Nothing is opened yet: a check refused before it starts leaves the
    // file as it was.
    ReportTarget(Format format, std::string file) : format(format), file(std::move(file)) {}

    // The report of one version, or of a class, to the target: the file is
    // created or emptied now.  Throws CannotWrite.
    std::unique_ptr<VersionReport> versionReport();
    std::unique_ptr<ClassReport> classReport();

    // The check's status once its report is finished: FAILED instead where
    // the file could not be written whole.
    int closed(int status);

private:
    void open();

    const Format format;
    const std::string file;
    std::ofstream out;
};

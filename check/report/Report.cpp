#include "report/Report.h"

#include <ostream>
#include <utility>

#include "report/Formats.h"

namespace {

const std::pair<const char*, Format> FORMATS[] = {{"human", Format::Human},
                                                  {"tap", Format::Tap},
                                                  {"json", Format::Json},
                                                  {"junit", Format::Junit},
                                                  {"gradescope", Format::Gradescope},
                                                  {"csv", Format::Csv},
                                                  {"html", Format::Html}};

using WriteVersion = void (*)(std::ostream&, const VersionResult&);
using WriteClass = void (*)(std::ostream&, const ClassResults&);

struct WholeFormat {
    WriteVersion version;
    WriteClass whole;
    bool partial;  // whether a class cut short is shown as far as it got
};

WholeFormat wholeFormat(Format format) {
    switch (format) {
    case Format::Json:
        return {writeJsonVersion, writeJsonClass, true};
    case Format::Junit:
        return {writeJunitVersion, writeJunitClass, false};
    case Format::Gradescope:
        return {writeGradescopeVersion, writeGradescopeClass, false};
    case Format::Csv:
        return {writeCsvVersion, writeCsvClass, false};
    case Format::Html:
    default:
        return {writeHtmlVersion, writeHtmlClass, true};
    }
}

int exitStatus(const VersionResult& version) {
    return !version.error.empty()             ? NOT_CHECKED
           : version.status() == Status::Pass ? ALL_PASSED
                                              : SOME_FAILED;
}

// A format that shows the version once it is checked.
class WholeVersionReport : public VersionReport {
public:
    WholeVersionReport(WriteVersion write, std::ostream& out) : write(write), out(out) {}
    void begin(const VersionResult&) override {}
    void add(const CaseResult&) override {}
    int finish(const VersionResult& whole) override {
        write(out, whole);
        return exitStatus(whole);
    }

private:
    const WriteVersion write;
    std::ostream& out;
};

// A format that shows the class once every version is checked.
class WholeClassReport : public ClassReport {
public:
    WholeClassReport(WholeFormat format, std::ostream& out) : format(format), out(out) {}
    void begin(const std::string& lesson, const std::vector<std::string>&) override {
        results.lesson = lesson;
    }
    void add(const VersionResult& version) override { results.versions.push_back(version); }
    int finish() override {
        format.whole(out, results);
        for (const VersionResult& version : results.versions) {
            if (version.status() != Status::Pass) {
                return 1;
            }
        }
        return 0;
    }
    void interrupted() override {
        if (format.partial) {
            results.interrupted = true;
            format.whole(out, results);
        }
    }

private:
    const WholeFormat format;
    std::ostream& out;
    ClassResults results;
};

}  // namespace

bool readFormat(const std::string& name, Format& format) {
    for (const auto& [word, named] : FORMATS) {
        if (name == word) {
            format = named;
            return true;
        }
    }
    return false;
}

const char* formatNames() {
    return "human, tap, json, junit, gradescope, csv or html";
}

std::unique_ptr<VersionReport> versionReport(Format format, std::ostream& out) {
    if (format == Format::Human) {
        return humanVersionReport(out);
    } else if (format == Format::Tap) {
        return std::make_unique<WholeVersionReport>(writeTapVersion, out);
    }
    return std::make_unique<WholeVersionReport>(wholeFormat(format).version, out);
}

std::unique_ptr<ClassReport> classReport(Format format, std::ostream& out) {
    if (format == Format::Human) {
        return humanClassReport(out);
    } else if (format == Format::Tap) {
        return tapClassReport(out);
    }
    return std::make_unique<WholeClassReport>(wholeFormat(format), out);
}

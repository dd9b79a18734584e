// A gradebook, as RFC 4180 CSV: a header, then a row for each version with
// its status, its cases counted as the human report counts them, and its
// score out of the lesson's points.
#include <ostream>

#include "report/Escape.h"
#include "report/Formats.h"

namespace {

void writeHeader(std::ostream& out) {
    out << "version,status,passed,failed,not run,score,out of\r\n";
}

void writeRow(std::ostream& out, const VersionResult& version) {
    std::string name = shownName(version.name);
    if (version.name.empty()) {
        name.clear();
        for (const std::string& word : version.command) {
            name += (name.empty() ? "" : " ") + shownWord(word);
        }
    }
    out << csvField(name) << "," << statusName(version.status()) << ","
        << countOf(version, Status::Pass) << "," << countOf(version, Status::Fail) << ","
        << countOf(version, Status::Error) << "," << version.score() << "," << version.outOf
        << "\r\n";
}

}  // namespace

void writeCsvVersion(std::ostream& out, const VersionResult& version) {
    writeHeader(out);
    writeRow(out, version);
}

void writeCsvClass(std::ostream& out, const ClassResults& results) {
    writeHeader(out);
    for (const VersionResult& version : results.versions) {
        writeRow(out, version);
    }
}

#include "report/Results.h"

#include <algorithm>
#include <tuple>

const char* statusName(Status status) {
    switch (status) {
    case Status::Fail:
        return "fail";
    case Status::Error:
        return "error";
    case Status::Pass:
        break;
    }
    return "pass";
}

namespace {

bool anyCase(const VersionResult& version, Status status) {
    return std::any_of(version.cases.begin(), version.cases.end(),
                       [status](const CaseResult& result) { return result.status == status; });
}

}  // namespace

// A failure outweighs cases that were not run: the version did something
// wrong, whatever the rest would have shown.
Status VersionResult::status() const {
    if (!error.empty()) {
        return Status::Error;
    }
    if (anyCase(*this, Status::Fail)) {
        return Status::Fail;
    }
    return anyCase(*this, Status::Error) ? Status::Error : Status::Pass;
}

unsigned VersionResult::score() const {
    unsigned points = 0;
    for (const CaseResult& result : cases) {
        points += result.status == Status::Pass ? result.points : 0;
    }
    return error.empty() ? points : 0;
}

bool operator==(const DifferingLine& a, const DifferingLine& b) {
    return std::tie(a.number, a.expected, a.actual, a.expectedMissing, a.actualMissing, a.pattern,
                    a.row, a.from, a.parting) == std::tie(b.number, b.expected, b.actual,
                                                          b.expectedMissing, b.actualMissing,
                                                          b.pattern, b.row, b.from, b.parting);
}

bool operator==(const Problem& a, const Problem& b) {
    return std::tie(a.what, a.lines, a.details, a.errors, a.hint, a.key) ==
           std::tie(b.what, b.lines, b.details, b.errors, b.hint, b.key);
}

bool operator==(const CaseResult& a, const CaseResult& b) {
    return std::tie(a.name, a.status, a.points, a.hidden, a.problems, a.note, a.output, a.input,
                    a.files) == std::tie(b.name, b.status, b.points, b.hidden, b.problems, b.note,
                                         b.output, b.input, b.files);
}

bool operator==(const VersionResult& a, const VersionResult& b) {
    return std::tie(a.name, a.lesson, a.command, a.caseCount, a.outOf, a.cases, a.error,
                    a.errorDetail) == std::tie(b.name, b.lesson, b.command, b.caseCount, b.outOf,
                                               b.cases, b.error, b.errorDetail);
}

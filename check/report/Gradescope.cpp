// Gradescope's autograder results.json: the version's score, and a test for
// each case with its score, max_score, status (passed or failed) and output,
// the case's report as the human report gives it.  Every text is declared
// plain text: Gradescope renders a top-level output as HTML unless told.
// A hidden case is a test like the others, visible, with its name, score
// and status, and an output that says only that it is hidden: its points
// count towards the score a learner sees.  A version that could not be
// checked is one failed test worth every point, saying why.
#include <nlohmann/json.hpp>
#include <ostream>

#include "report/Escape.h"
#include "report/Formats.h"

namespace {

using Json = nlohmann::ordered_json;

Json testOf(const CaseResult& result) {
    const bool passed = result.status == Status::Pass;
    return {{"name", shownName(result.name)},
            {"score", passed ? result.points : 0},
            {"max_score", result.points},
            {"status", passed ? "passed" : "failed"},
            {"output", caseReport(result)},
            {"visibility", "visible"},
            {"extra_data", {{"status", statusName(result.status)}, {"hidden", result.hidden}}}};
}

Json resultsOf(const VersionResult& version) {
    Json tests = Json::array();
    for (const CaseResult& result : version.cases) {
        tests.push_back(testOf(result));
    }
    if (!version.error.empty()) {
        tests.push_back(
            {{"name", "not checked"},
             {"score", 0},
             {"max_score", version.outOf},
             {"status", "failed"},
             {"output", whyNotChecked(version)},
             {"visibility", "visible"},
             {"extra_data", {{"status", statusName(Status::Error)}, {"hidden", false}}}});
    }
    return {{"score", version.score()},
            {"output", versionHeading(version) + "\n" + versionSummary(version) + "\n"},
            {"output_format", "text"},
            {"test_output_format", "text"},
            {"test_name_format", "text"},
            {"tests", tests},
            {"extra_data",
             {{"lesson", asUtf8(version.lesson)},
              {"status", statusName(version.status())},
              {"out_of", version.outOf}}}};
}

void write(std::ostream& out, const Json& json) {
    out << json.dump(2, ' ', true, Json::error_handler_t::replace) << "\n";
}

}  // namespace

void writeGradescopeVersion(std::ostream& out, const VersionResult& version) {
    write(out, resultsOf(version));
}

// Gradescope grades one submission at a time: a class is its versions'
// results.json each, under their names, for a script to hand on.
void writeGradescopeClass(std::ostream& out, const ClassResults& results) {
    Json versions = Json::array();
    for (const VersionResult& version : results.versions) {
        versions.push_back({{"name", asUtf8(version.name)}, {"results", resultsOf(version)}});
    }
    write(out, {{"lesson", asUtf8(results.lesson)}, {"versions", versions}});
}

// JUnit XML as the Jenkins xUnit plugin's schema (junit-10.xsd) defines it
// and GitLab's unit test reports read it: a testsuite for each version, a
// testcase for each case, and under a case that failed a failure (an error
// for a case not run) holding the case's report as the human report gives
// it.  GitLab shows a testcase's classname as its suite, so each carries
// its version's name.
#include <ostream>
#include <utility>
#include <vector>

#include "report/Escape.h"
#include "report/Formats.h"

namespace {

std::string attribute(const std::string& name, const std::string& value) {
    return " " + name + "=\"" + xmlAttribute(value) + "\"";
}

std::string commandOf(const VersionResult& version) {
    std::string words;
    for (const std::string& word : version.command) {
        words += (words.empty() ? "" : " ") + shownWord(word);
    }
    return words;
}

// The first line of a case's report, as the failure's message.
std::string headline(const std::string& report) {
    const std::size_t start = report.find_first_not_of(' ');
    return start == std::string::npos ? "" : report.substr(start, report.find('\n') - start);
}

void writeCase(std::ostream& out, const std::string& indent, const std::string& suite,
               const CaseResult& result) {
    out << indent << "  <testcase" << attribute("classname", suite)
        << attribute("name", shownName(result.name));
    if (result.status == Status::Pass) {
        out << "/>\n";
        return;
    }
    const std::string report = caseReport(result);
    const char* const element = result.status == Status::Fail ? "failure" : "error";
    out << ">\n"
        << indent << "    <" << element << attribute("message", headline(report))
        << attribute("type", result.status == Status::Fail ? "fail" : "not run") << ">"
        << xmlText(report) << "</" << element << ">\n"
        << indent << "  </testcase>\n";
}

void writeSuite(std::ostream& out, const std::string& indent, const VersionResult& version) {
    const std::string suite = shownName(version.name.empty() ? version.lesson : version.name);
    const bool checked = version.error.empty();
    out << indent << "<testsuite" << attribute("name", suite)
        << attribute("tests", std::to_string(checked ? version.cases.size() : 1))
        << attribute("failures", std::to_string(countOf(version, Status::Fail)))
        << attribute("errors", std::to_string(checked ? countOf(version, Status::Error) : 1))
        << attribute("skipped", "0") << ">\n";
    out << indent << "  <properties>\n";
    std::vector<std::pair<std::string, std::string>> properties = {
        {"lesson", shownName(version.lesson)},
        {"command", commandOf(version)},
        {"score", std::to_string(version.score())},
        {"out_of", std::to_string(version.outOf)}};
    // A test case has no properties of its own in the schema: its points
    // are the suite's.
    for (const CaseResult& result : version.cases) {
        properties.emplace_back("points:" + shownName(result.name), std::to_string(result.points));
    }
    for (const auto& [name, value] : properties) {
        out << indent << "    <property" << attribute("name", name) << attribute("value", value)
            << "/>\n";
    }
    out << indent << "  </properties>\n";
    if (checked) {
        for (const CaseResult& result : version.cases) {
            writeCase(out, indent, suite, result);
        }
    } else {
        out << indent << "  <testcase" << attribute("classname", suite)
            << attribute("name", "not checked") << ">\n"
            << indent << "    <error" << attribute("message", versionSummary(version))
            << attribute("type", "not checked") << ">" << xmlText(whyNotChecked(version))
            << "</error>\n"
            << indent << "  </testcase>\n";
    }
    out << indent << "</testsuite>\n";
}

}  // namespace

void writeJunitVersion(std::ostream& out, const VersionResult& version) {
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    writeSuite(out, "", version);
}

void writeJunitClass(std::ostream& out, const ClassResults& results) {
    std::size_t tests = 0, failures = 0, errors = 0;
    for (const VersionResult& version : results.versions) {
        const bool checked = version.error.empty();
        tests += checked ? version.cases.size() : 1;
        failures += countOf(version, Status::Fail);
        errors += checked ? countOf(version, Status::Error) : 1;
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites"
        << attribute("name", shownName(results.lesson)) << attribute("tests", std::to_string(tests))
        << attribute("failures", std::to_string(failures))
        << attribute("errors", std::to_string(errors)) << ">\n";
    for (const VersionResult& version : results.versions) {
        writeSuite(out, "  ", version);
    }
    out << "</testsuites>\n";
}

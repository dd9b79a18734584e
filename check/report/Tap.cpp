// TAP version 13, as prove reads it: a test for each case, and in a class a
// subtest for each version (as Test::More writes one).  Under a test, a
// YAML block: C++ string literals are YAML's double-quoted scalars too, so
// nothing a version printed or named can end the block or start a line.
#include <ostream>

#include "report/Escape.h"
#include "report/Formats.h"

namespace {

void writeYaml(std::ostream& out, const std::string& indent,
               const std::vector<std::pair<std::string, std::string>>& fields) {
    out << indent << "  ---\n";
    for (const auto& [key, value] : fields) {
        out << indent << "  " << key << ": " << value << "\n";
    }
    out << indent << "  ...\n";
}

void writeCase(std::ostream& out, const std::string& indent, std::size_t number,
               const CaseResult& result) {
    const bool passed = result.status == Status::Pass;
    out << indent << (passed ? "ok " : "not ok ") << number << " - "
        << tapDescription(shownName(result.name)) << "\n";
    if (passed) {
        return;
    }
    std::vector<std::pair<std::string, std::string>> fields = {
        {"message", quoted(caseReport(result))}, {"points", std::to_string(result.points)}};
    if (!result.hidden && !result.output.empty()) {
        fields.push_back({"output", quoted(firstCharacters(result.output, OUTPUT_SHOWN))});
    }
    writeYaml(out, indent, fields);
}

void writeCases(std::ostream& out, const std::string& indent, const VersionResult& version) {
    out << indent << "1.." << version.cases.size() << "\n";
    std::size_t number = 0;
    for (const CaseResult& result : version.cases) {
        writeCase(out, indent, ++number, result);
    }
}

class TapClassReport : public ClassReport {
public:
    explicit TapClassReport(std::ostream& out) : out(out) {}

    void begin(const std::string&, const std::vector<std::string>& given) override {
        names = given;
        out << "TAP version 13\n1.." << names.size() << "\n";
    }

    void add(const VersionResult& version) override {
        const std::string name = tapDescription(shownName(version.name));
        if (version.error.empty()) {
            out << "# Subtest: " << name << "\n";
            writeCases(out, "    ", version);
        }
        const bool passed = version.status() == Status::Pass;
        allPassed = allPassed && passed;
        out << (passed ? "ok " : "not ok ") << ++added << " - " << name << "\n";
        writeYaml(out, "",
                  {{"message", quoted(versionSummary(version))},
                   {"score", std::to_string(version.score())},
                   {"out_of", std::to_string(version.outOf)}});
        out.flush();
    }

    int finish() override { return allPassed && added == names.size() ? 0 : 1; }

    // The plan promised every version: those not checked fail, so that the
    // document stays whole, and a bail out says why.
    void interrupted() override {
        const std::size_t checked = added;
        while (added < names.size()) {
            out << "not ok " << added + 1 << " - " << tapDescription(shownName(names[added]))
                << "\n";
            ++added;
            writeYaml(out, "", {{"message", quoted("not checked: the check was interrupted")}});
        }
        out << "Bail out! interrupted: " << checked << " of " << counted(names.size(), "version")
            << " checked\n";
    }

private:
    std::ostream& out;
    std::vector<std::string> names;
    std::size_t added = 0;
    bool allPassed = true;
};

}  // namespace

void writeTapVersion(std::ostream& out, const VersionResult& version) {
    out << "TAP version 13\n";
    if (!version.error.empty()) {
        out << "Bail out! " << versionSummary(version) << "\n";
        return;
    }
    writeCases(out, "", version);
    out << "# " << tally(version) << "\n";
}

std::unique_ptr<ClassReport> tapClassReport(std::ostream& out) {
    return std::make_unique<TapClassReport>(out);
}

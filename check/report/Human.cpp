// The human report: what a learner reads at a terminal, a line as each case
// is checked, and what an instructor reads of a class.  Whatever a version
// printed, a case's report stays within a few KiB.
#include <algorithm>
#include <iostream>
#include <map>
#include <sstream>
#include <vector>

#include "cases/ExpectedText.h"
#include "report/Escape.h"
#include "report/Formats.h"
#include "report/ProblemText.h"

namespace {

// The first problems of a case are what to mend first; the ones after them
// often follow from them.
constexpr std::size_t PROBLEMS_SHOWN = 3;
constexpr std::size_t LINE_SHOWN = 300;     // bytes of a line in the checker's words
constexpr std::size_t CASE_SHOWN = 4096;    // bytes of a case's whole report
constexpr std::size_t NAMES_LISTED = 8;     // cases named as sharing a problem
constexpr std::size_t DETAIL_LINES = 10;    // lines of what goes with an unchecked version
constexpr std::size_t LITERAL_SHOWN = 200;  // bytes of a line of output

std::string checkerLine(const std::string& line) {
    return shownLine(line.substr(0, LINE_SHOWN)) + (line.size() > LINE_SHOWN ? "..." : "");
}

std::string literal(const std::string& text) {
    return quoted(text.substr(0, LITERAL_SHOWN)) + (text.size() > LITERAL_SHOWN ? "..." : "");
}

std::string joined(const std::vector<std::string>& words, std::string (*shown)(const std::string&),
                   const std::string& between) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : between) + shown(word);
    }
    return text;
}

void addProblem(std::string& text, const Problem& problem) {
    text += problemText(problem);
}

// A case's report cut at a line, whatever the checker put in it.
std::string bounded(std::string text) {
    if (text.size() <= CASE_SHOWN) {
        return text;
    }
    text.erase(text.rfind('\n', CASE_SHOWN - 64) + 1);
    return text + "  (the rest of this case's report is left out)\n";
}

// "empty-input.in and empty-input.out in /usr/share/console-lessons/cases/heatprompt/",
// or each file's whole path where they lie in several folders.
std::string filesNamed(const std::vector<std::string>& files) {
    const std::string folder = files.front().substr(0, files.front().rfind('/') + 1);
    std::vector<std::string> names;
    for (const std::string& file : files) {
        if (folder.empty() || file.rfind(folder, 0) != 0 ||
            file.find('/', folder.size()) != std::string::npos) {
            return joined(files, shownWord, ", ");
        }
        names.push_back(file.substr(folder.size()));
    }
    const std::string last = names.back();
    names.pop_back();
    return (names.empty() ? "" : joined(names, shownWord, ", ") + " and ") + shownWord(last) +
           " in " + shownWord(folder);
}

// The problems shared with a case before, by their key: the case they were
// shown under.
using ToldUnder = std::map<std::string, std::string>;

// The problems a case's report shows in full or as shared: none of a
// hidden case's.
std::vector<Problem> shownProblems(const CaseResult& result) {
    if (result.hidden || result.status != Status::Fail) {
        return {};
    }
    return {result.problems.begin(),
            result.problems.begin() +
                static_cast<std::ptrdiff_t>(std::min(result.problems.size(), PROBLEMS_SHOWN))};
}

std::string reportOf(const CaseResult& result, const ToldUnder& told) {
    if (result.hidden) {
        return result.status == Status::Pass
                   ? ""
                   : "  a hidden case: only its verdict and points are shown\n";
    }
    if (result.status == Status::Error) {
        return "  not run, as " + checkerLine(result.note) + "\n";
    }
    std::string text;
    const std::vector<Problem> shown = shownProblems(result);
    for (const Problem& problem : shown) {
        const auto earlier = told.find(problem.key);
        if (!problem.key.empty() && earlier != told.end()) {
            text += "  the same problem as " + earlier->second + ": " + checkerLine(problem.what) +
                    "\n";
        } else {
            addProblem(text, problem);
        }
    }
    if (shown.size() < result.problems.size()) {
        text += "  and " + counted(result.problems.size() - shown.size(), "more problem") + "\n";
    }
    if (result.status == Status::Fail && !result.files.empty()) {
        text += "  the case's files: " + filesNamed(result.files) + "\n";
    }
    return bounded(text);
}

std::string pointsNote(const CaseResult& result) {
    const std::string points = counted(result.points, "point");
    return result.hidden        ? "  (hidden, " + points + ")"
           : result.points != 1 ? "  (" + points + ")"
                                : "";
}

std::string caseLine(const CaseResult& result) {
    const std::string name = shownName(result.name);
    if (result.status == Status::Fail) {
        return "FAIL  " + name + pointsNote(result) + "\n";
    }
    const bool noted = !result.note.empty() && !result.hidden;
    return "ok    " + name + (noted ? " (" + checkerLine(result.note) + ")" : "") +
           pointsNote(result) + "\n";
}

// How many cases were not run for each reason, in the order the reasons came.
std::string notRun(const VersionResult& version) {
    std::vector<std::pair<std::string, std::size_t>> reasons;
    for (const CaseResult& result : version.cases) {
        if (result.status != Status::Error) {
            continue;
        }
        const auto reason = std::find_if(reasons.begin(), reasons.end(), [&](const auto& counted) {
            return counted.first == result.note;
        });
        if (reason == reasons.end()) {
            reasons.push_back({result.note, 1});
        } else {
            ++reason->second;
        }
    }
    std::string text;
    for (const auto& [reason, count] : reasons) {
        text += "not run: " + counted(count, "case") + ", as " + checkerLine(reason) + "\n";
    }
    return text;
}

// Each problem shown, by its key, with the cases it was shown in.
std::vector<std::pair<std::string, std::vector<std::string>>> casesOfProblems(
    const VersionResult& version) {
    std::vector<std::pair<std::string, std::vector<std::string>>> keys;
    for (const CaseResult& result : version.cases) {
        for (const Problem& problem : shownProblems(result)) {
            if (problem.key.empty()) {
                continue;
            }
            auto key = std::find_if(keys.begin(), keys.end(),
                                    [&](const auto& named) { return named.first == problem.key; });
            if (key == keys.end()) {
                keys.push_back({problem.key, {}});
                key = keys.end() - 1;
            }
            if (key->second.empty() || key->second.back() != result.name) {
                key->second.push_back(result.name);
            }
        }
    }
    return keys;
}

// The cases that failed in the same way, named once: mending that one
// thing mends them all.  Problems the same cases share are told in one line.
std::string sharedProblems(const VersionResult& version) {
    std::vector<std::pair<std::vector<std::string>, std::size_t>> shared;
    for (const auto& problem : casesOfProblems(version)) {
        const std::vector<std::string>& names = problem.second;
        const auto same = std::find_if(shared.begin(), shared.end(),
                                       [&](const auto& told) { return told.first == names; });
        if (names.size() < 2) {
            continue;
        } else if (same != shared.end()) {
            ++same->second;
        } else {
            shared.push_back({names, 1});
        }
    }
    std::string text;
    for (const auto& [names, problems] : shared) {
        const std::vector<std::string> listed(
            names.begin(),
            names.begin() + static_cast<std::ptrdiff_t>(std::min(names.size(), NAMES_LISTED)));
        text += (problems == 1 ? std::string("the same problem")
                               : "the same " + std::to_string(problems) + " problems") +
                ", shown under " + shownName(names.front()) + ", in " +
                counted(names.size(), "case") + ": " + joined(listed, shownName, ", ") +
                (names.size() > NAMES_LISTED
                     ? " and " + std::to_string(names.size() - NAMES_LISTED) + " more"
                     : "") +
                "\n";
    }
    return text;
}

// One version's report, written as its cases come.
class HumanVersion {
public:
    explicit HumanVersion(std::ostream& out) : out(out) {}

    void begin(const VersionResult& header) { out << versionHeading(header) << "\n"; }

    void add(const CaseResult& result) {
        if (result.status == Status::Error) {
            return;  // told together, at the end
        }
        out << caseLine(result) << reportOf(result, told);
        for (const Problem& problem : shownProblems(result)) {
            if (!problem.key.empty()) {
                told.insert({problem.key, shownName(result.name)});
            }
        }
    }

    void finish(const VersionResult& whole) {
        out << notRun(whole) << sharedProblems(whole) << tally(whole) << "\n";
    }

private:
    std::ostream& out;
    ToldUnder told;
};

class HumanVersionReport : public VersionReport {
public:
    explicit HumanVersionReport(std::ostream& out) : out(out), version(out) {}

    void begin(const VersionResult& header) override {
        version.begin(header);
        out.flush();
    }

    void add(const CaseResult& result) override {
        version.add(result);
        // A version being checked is watched case by case.
        out.flush();
    }

    int finish(const VersionResult& whole) override {
        if (whole.error.empty()) {
            version.finish(whole);
            return whole.status() == Status::Pass ? ALL_PASSED : SOME_FAILED;
        }
        // As a usage error is: on standard error, after what was checked.
        out.flush();
        std::cerr << "lessons-check: " << whyNotChecked(whole);
        return NOT_CHECKED;
    }

private:
    std::ostream& out;
    HumanVersion version;
};

class HumanClassReport : public ClassReport {
public:
    explicit HumanClassReport(std::ostream& out) : out(out) {}

    void begin(const std::string&, const std::vector<std::string>& names) override {
        expected = names.size();
        for (const std::string& name : names) {
            width = std::max(width, shownName(name).size());
        }
    }

    void add(const VersionResult& version) override {
        const Status status = version.status();
        const char* const word = status == Status::Pass   ? "ok    "
                                 : status == Status::Fail ? "FAIL  "
                                                          : "ERROR ";
        const std::string name = shownName(version.name);
        out << word << name << std::string(std::max(width, name.size()) - name.size() + 2, ' ')
            << versionSummary(version) << "\n";
        out.flush();
        versions.push_back(version);
    }

    int finish() override {
        summarize();
        return std::all_of(
                   versions.begin(), versions.end(),
                   [](const VersionResult& version) { return version.status() == Status::Pass; })
                   ? 0
                   : 1;
    }

    void interrupted() override {
        out << "interrupted: " << versions.size() << " of " << counted(expected, "version")
            << " checked\n";
        summarize();
    }

private:
    void summarize() {
        std::size_t passed = 0, unchecked = 0;
        for (const VersionResult& version : versions) {
            passed += version.status() == Status::Pass ? 1 : 0;
            unchecked += version.error.empty() ? 0 : 1;
        }
        out << counted(versions.size(), "version") << ": " << passed << " passed, "
            << versions.size() - passed - unchecked << " failed"
            << (unchecked > 0 ? ", " + std::to_string(unchecked) + " not checked" : "") << "\n";
        for (const VersionResult& version : versions) {
            if (!version.error.empty() && !version.errorDetail.empty()) {
                out << "\n"
                    << shownName(version.name) << ": not checked: " << whyNotChecked(version);
            } else if (version.error.empty() && version.status() != Status::Pass) {
                out << "\n" << humanVersion(version);
            }
        }
    }

    std::ostream& out;
    std::size_t expected = 0, width = 0;
    std::vector<VersionResult> versions;
};

}  // namespace

std::string counted(std::size_t count, const std::string& what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

std::size_t countOf(const VersionResult& version, Status status) {
    return static_cast<std::size_t>(
        std::count_if(version.cases.begin(), version.cases.end(),
                      [status](const CaseResult& result) { return result.status == status; }));
}

std::string caseReport(const CaseResult& result) {
    return reportOf(result, {});
}

std::string versionHeading(const VersionResult& version) {
    return shownName(version.lesson) + ": " + counted(version.caseCount, "case") +
           (version.command.empty() ? "" : ", against " + joined(version.command, shownWord, " ")) +
           // In a class, the command runs in the version's own folder.
           (version.name.empty() ? "" : " in " + shownName(version.name));
}

std::string tally(const VersionResult& version) {
    const std::size_t notRunCount = countOf(version, Status::Error);
    return std::to_string(countOf(version, Status::Pass)) + " passed, " +
           std::to_string(countOf(version, Status::Fail)) + " failed" +
           (notRunCount > 0 ? ", " + std::to_string(notRunCount) + " not run" : "") + ", score " +
           std::to_string(version.score()) + " of " + std::to_string(version.outOf);
}

std::string whyNotChecked(const VersionResult& version) {
    if (version.error.empty()) {
        return "";
    }
    std::string text = checkerLine(version.error) + "\n";
    const std::vector<std::string> lines = splitLines(version.errorDetail);
    for (std::size_t i = 0; i < std::min(lines.size(), DETAIL_LINES); ++i) {
        text += "  " + literal(lines[i]) + "\n";
    }
    if (lines.size() > DETAIL_LINES) {
        text += "  and " + counted(lines.size() - DETAIL_LINES, "more line") + "\n";
    }
    return text;
}

std::string versionSummary(const VersionResult& version) {
    return version.error.empty()
               ? tally(version)
               : "score 0 of " + std::to_string(version.outOf) + ": " + checkerLine(version.error);
}

std::string humanVersion(const VersionResult& version) {
    std::ostringstream text;
    HumanVersion report(text);
    report.begin(version);
    for (const CaseResult& result : version.cases) {
        report.add(result);
    }
    report.finish(version);
    return text.str();
}

std::unique_ptr<VersionReport> humanVersionReport(std::ostream& out) {
    return std::make_unique<HumanVersionReport>(out);
}

std::unique_ptr<ClassReport> humanClassReport(std::ostream& out) {
    return std::make_unique<HumanClassReport>(out);
}

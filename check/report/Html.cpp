// One self-contained page for a version or a class: a grid of versions
// (rows) and cases (columns), each cell coloured by its verdict and marked
// by a symbol, so that it reads in black and white too.  A click on a cell
// shows the case's report as the human report gives it, in a panel that
// CSS alone opens (:target): the page needs no script and no network.
// A case's report is shown once for each version: a case that failed the
// same way as one before it points there.
#include <algorithm>
#include <map>
#include <ostream>

#include "report/Escape.h"
#include "report/Formats.h"

namespace {

// A failure's text on the page: 200 versions of 30 cases stay a page.
constexpr std::size_t REPORT_SHOWN = 2048;

const char* const STYLE = R"(
body { font-family: sans-serif; margin: 1em; color: #000; background: #fff; }
h1 { font-size: 1.4em; }
table { border-collapse: collapse; }
th, td { border: 1px solid #888; padding: 0; }
thead th { position: sticky; top: 0; background: #fff; }
th.case { writing-mode: vertical-rl; transform: rotate(180deg); font-weight: normal;
          font-family: monospace; padding: 4px 2px; max-height: 14em; overflow: hidden; }
td.version { position: sticky; left: 0; background: #fff; padding: 0 .5em;
             font-family: monospace; white-space: nowrap; }
td.score { padding: 0 .5em; text-align: right; white-space: nowrap; }
td.cell a, td.cell span { display: block; min-width: 1.6em; height: 1.6em; line-height: 1.6em;
                          text-align: center; color: #000; text-decoration: none; }
td.why a { display: block; padding: 0 .5em; color: #000; }
.pass { background: #9ad89a; }
.fail { background: #f19a9a; font-weight: bold; }
.error { background: #f5d76e; }
.none { background: #ddd; }
.hidden { outline: 2px dotted #000; outline-offset: -3px; }
.detail { display: none; position: fixed; left: 0; right: 0; bottom: 0; max-height: 50vh;
          overflow: auto; background: #fff; border-top: 3px solid #000; padding: 0 1em 1em; }
.detail:target { display: block; }
.detail pre { white-space: pre-wrap; }
.legend span { display: inline-block; min-width: 1.6em; text-align: center; border: 1px solid #888; }
)";

struct Symbol {
    const char* css;
    const char* mark;
    const char* word;
};

Symbol symbolOf(Status status) {
    switch (status) {
    case Status::Fail:
        return {"fail", "\xe2\x9c\x97", "failed"};  // ✗
    case Status::Error:
        return {"error", "!", "not run"};
    case Status::Pass:
        break;
    }
    return {"pass", "\xe2\x9c\x93", "passed"};  // ✓
}

std::string shownReport(const std::string& report) {
    return report.size() <= REPORT_SHOWN
               ? report
               : report.substr(0, report.rfind('\n', REPORT_SHOWN) + 1) +
                     "  (cut short here: the human report shows it whole)\n";
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// Every case of the class, in the order they first come.
std::vector<std::string> caseNames(const std::vector<VersionResult>& versions) {
    std::vector<std::string> names;
    for (const VersionResult& version : versions) {
        for (const CaseResult& result : version.cases) {
            if (std::find(names.begin(), names.end(), result.name) == names.end()) {
                names.push_back(result.name);
            }
        }
    }
    return names;
}

class Page {
public:
    Page(std::ostream& out, const ClassResults& results)
        : out(out), results(results), cases(caseNames(results.versions)) {}

    void write() {
        out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
            << htmlText(shownName(results.lesson)) << ": "
            << counted(results.versions.size(), "version") << "</title>\n<style>" << STYLE
            << "</style>\n</head>\n<body>\n";
        out << "<h1>" << htmlText(shownName(results.lesson)) << "</h1>\n<p>" << summary()
            << "</p>\n";
        if (results.interrupted) {
            out << "<p><strong>The check was interrupted:</strong> only these versions were "
                   "checked.</p>\n";
        }
        out << "<p class=\"legend\"><span class=\"pass\">\xe2\x9c\x93</span> passed "
               "<span class=\"fail\">\xe2\x9c\x97</span> failed <span class=\"error\">!</span> not "
               "run or not checked <span class=\"none\">\xe2\x80\x93</span> no such case "
               "<span class=\"hidden\">&nbsp;</span> hidden case; a click on a cell shows its "
               "report</p>\n";
        writeGrid();
        for (std::size_t v = 0; v < results.versions.size(); ++v) {
            writeDetails(v);
        }
        out << "</body>\n</html>\n";
    }

private:
    std::string summary() const {
        std::size_t passed = 0, unchecked = 0;
        for (const VersionResult& version : results.versions) {
            passed += version.status() == Status::Pass ? 1 : 0;
            unchecked += version.error.empty() ? 0 : 1;
        }
        return counted(results.versions.size(), "version") + ": " + std::to_string(passed) +
               " passed, " + std::to_string(results.versions.size() - passed - unchecked) +
               " failed" + (unchecked > 0 ? ", " + std::to_string(unchecked) + " not checked" : "");
    }

    static std::string id(std::size_t version, std::size_t kase) {
        return "v" + std::to_string(version + 1) + "c" + std::to_string(kase + 1);
    }

    std::string versionName(const VersionResult& version) const {
        return htmlText(version.name.empty() ? versionHeading(version) : shownName(version.name));
    }

    // A case's points, as the first version checked against it has them.
    unsigned pointsOf(const std::string& name) const {
        for (const VersionResult& version : results.versions) {
            for (const CaseResult& result : version.cases) {
                if (result.name == name) {
                    return result.points;
                }
            }
        }
        return 1;
    }

    void writeGrid() {
        out << "<table>\n<thead><tr><th>version</th><th>score</th>";
        for (const std::string& name : cases) {
            const unsigned points = pointsOf(name);
            out << "<th class=\"case\" title=\"" << htmlText(shownName(name)) << "\">"
                << htmlText(shownName(name))
                << (points != 1 ? "<br><small>" + counted(points, "point") + "</small>" : "")
                << "</th>";
        }
        out << "</tr></thead>\n<tbody>\n";
        for (std::size_t v = 0; v < results.versions.size(); ++v) {
            writeRow(v);
        }
        out << "</tbody>\n</table>\n";
    }

    void writeRow(std::size_t v) {
        const VersionResult& version = results.versions[v];
        const Symbol symbol = symbolOf(version.status());
        out << "<tr class=\"" << symbol.css << "\"><td class=\"version\">" << symbol.mark << " "
            << versionName(version) << "</td><td class=\"score\">" << version.score() << " of "
            << version.outOf << "</td>";
        if (!version.error.empty()) {
            out << "<td class=\"why error\" colspan=\"" << std::max<std::size_t>(cases.size(), 1)
                << "\"><a href=\"#v" << v + 1
                << "\">! not checked: " << htmlText(firstLine(whyNotChecked(version)))
                << "</a></td></tr>\n";
            return;
        }
        for (const std::string& name : cases) {
            writeCell(v, name);
        }
        out << "</tr>\n";
    }

    void writeCell(std::size_t v, const std::string& name) {
        const VersionResult& version = results.versions[v];
        const auto found =
            std::find_if(version.cases.begin(), version.cases.end(),
                         [&](const CaseResult& result) { return result.name == name; });
        if (found == version.cases.end()) {
            out << "<td class=\"cell\"><span class=\"none\" title=\"not "
                   "checked\">\xe2\x80\x93</span></td>";
            return;
        }
        const Symbol symbol = symbolOf(found->status);
        const std::string classes = std::string(symbol.css) + (found->hidden ? " hidden" : "");
        const std::string title =
            htmlText(shownName(name) + ": " + symbol.word + (found->hidden ? " (hidden)" : "") +
                     ", " + counted(found->status == Status::Pass ? found->points : 0, "point") +
                     " of " + std::to_string(found->points));
        out << "<td class=\"cell\">";
        if (found->status == Status::Pass) {
            out << "<span class=\"" << classes << "\" title=\"" << title << "\">" << symbol.mark
                << "</span>";
        } else {
            const std::size_t c = static_cast<std::size_t>(found - version.cases.begin());
            out << "<a class=\"" << classes << "\" title=\"" << title << "\" href=\"#" << id(v, c)
                << "\">" << symbol.mark << "</a>";
        }
        out << "</td>";
    }

    void writeDetails(std::size_t v) {
        const VersionResult& version = results.versions[v];
        if (!version.error.empty()) {
            out << "<section class=\"detail\" id=\"v" << v + 1
                << "\"><p><a href=\"#\">close</a></p><h2>" << versionName(version)
                << "</h2><pre>not checked: " << htmlText(whyNotChecked(version))
                << "</pre></section>\n";
            return;
        }
        std::map<std::string, std::size_t> shownAt;
        for (std::size_t c = 0; c < version.cases.size(); ++c) {
            const CaseResult& result = version.cases[c];
            if (result.status == Status::Pass) {
                continue;
            }
            out << "<section class=\"detail\" id=\"" << id(v, c)
                << "\"><p><a href=\"#\">close</a></p><h2>" << versionName(version) << " \xc2\xb7 "
                << htmlText(shownName(result.name)) << ": " << symbolOf(result.status).word
                << "</h2>";
            const std::string report = caseReport(result);
            const auto earlier = shownAt.find(report);
            if (earlier != shownAt.end()) {
                out << "<p>The same report as <a href=\"#" << id(v, earlier->second) << "\">"
                    << htmlText(shownName(version.cases[earlier->second].name)) << "</a>.</p>";
            } else {
                shownAt[report] = c;
                out << "<pre>" << htmlText(shownReport(report)) << "</pre>";
            }
            out << "</section>\n";
        }
    }

    std::ostream& out;
    const ClassResults& results;
    const std::vector<std::string> cases;
};

}  // namespace

void writeHtmlVersion(std::ostream& out, const VersionResult& version) {
    ClassResults results;
    results.lesson = version.lesson;
    results.versions = {version};
    Page(out, results).write();
}

void writeHtmlClass(std::ostream& out, const ClassResults& results) {
    Page(out, results).write();
}

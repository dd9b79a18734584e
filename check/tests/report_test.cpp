// The reports of a small class, built by hand as the checks would hand it
// over, shown in every format and read by the tool that reads each: prove,
// exercism's and Gradescope's fields, xmllint against JUnit's schema, a
// spreadsheet's CSV reader and a real browser.  The class has a right
// version, a wrong one (several differing lines, a problem shared by
// cases), a hostile one (its name and output hold a newline, CR, ESC, NUL,
// bytes that are not UTF-8, a leading '-'), one that could not be checked
// (a compiler's error), and a hidden case in each.
#include "report/Report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "cases/ExpectedText.h"
#include "report/Escape.h"
#include "sandbox/Run.h"

namespace {

const std::vector<Format> EVERY_FORMAT = {Format::Human, Format::Tap,        Format::Json,
                                          Format::Junit, Format::Gradescope, Format::Csv,
                                          Format::Html};

// What no report may show of a hidden case.
const std::string SECRET = "SECRET";

const std::string HOSTILE_BYTES = std::string("\n\r\x1b[2J\x1b]0;owned\x07") +
                                  std::string(1, '\0') +
                                  "\xff\xed\xa0\x80\xc0\xaf\xf4\x90\x80\x80\x9b"
                                  "31m";

DifferingLine differing(std::size_t number, std::string expected, std::string actual,
                        std::size_t parting) {
    DifferingLine line;
    line.number = number;
    line.expected = std::move(expected);
    line.actual = std::move(actual);
    line.parting = parting;
    return line;
}

CaseResult passed(const std::string& name) {
    CaseResult result;
    result.name = name;
    result.input = "20\n";
    result.output = "Enter Machine Temperature: Machine State: Operating Normally\n";
    result.files = {"/cases/heatprompt/" + name + ".in", "/cases/heatprompt/" + name + ".out"};
    return result;
}

CaseResult hidden(Status status) {
    CaseResult result;
    result.name = "held-back";
    result.status = status;
    result.points = 2;
    result.hidden = true;
    result.input = SECRET + "-INPUT\n";
    result.output = SECRET + "-OUTPUT\n";
    result.note = SECRET + "-NOTE";
    result.files = {"/cases/" + SECRET + "/held-back.in"};
    if (status == Status::Fail) {
        Problem problem;
        problem.what = SECRET + "-PROBLEM";
        problem.key = "no-blank";
        result.problems = {problem};
    }
    return result;
}

// The blank missing after the prompt, as the checks tell it in each case.
Problem missingBlank(const std::string& state) {
    Problem problem;
    problem.what = "through a pipe, the output differs";
    problem.key = "no-blank";
    problem.lines = {differing(1, "Enter Machine Temperature: Machine State: " + state + "\n",
                               "Enter Machine Temperature:Machine State: " + state + "\n", 26)};
    problem.hint = "the prompt ends with a blank";
    return problem;
}

VersionResult header(const std::string& name) {
    VersionResult version;
    version.name = name;
    version.lesson = "heatprompt";
    version.command = {name + "heatprompt"};
    version.caseCount = 3;
    version.outOf = 4;
    return version;
}

VersionResult rightVersion() {
    VersionResult version = header("class/ana/");
    version.cases = {passed("empty-input"), passed("high-limit"), hidden(Status::Pass)};
    version.cases[1].note = "through a pipe only: the input holds the control byte \"\\x04\"";
    return version;
}

VersionResult wrongVersion() {
    VersionResult version = header("class/ben/");
    CaseResult first = passed("empty-input");
    first.status = Status::Fail;
    first.problems = {missingBlank("Operating Normally")};
    DifferingLine pattern = differing(2, "at @ADDR@\n", "at 0x1f2e extra\n", 9);
    pattern.pattern = true;
    DifferingLine ended = differing(3, "", "bye\n", 0);
    ended.expectedMissing = true;
    first.problems[0].lines.push_back(pattern);
    first.problems[0].lines.push_back(ended);
    first.problems[0].lines.push_back(differing(4, "x\n", "y\n", 0));
    first.problems[0].errors = "warning: unused variable\n";
    CaseResult second = passed("high-limit");
    second.status = Status::Fail;
    Problem prompt;
    prompt.what =
        "at a terminal, the prompt \"Enter: \" was not on screen when the program waited for input";
    prompt.details = {"the screen ended: \"Enter:\""};
    // A long line: an excerpt of each, from where they part.
    prompt.lines = {differing(5, std::string(40, 'a') + "b", std::string(40, 'a') + "c", 340)};
    prompt.lines[0].from = 300;
    second.problems = {missingBlank("Overheating"), prompt};
    version.cases = {first, second, hidden(Status::Fail)};
    return version;
}

VersionResult hostileVersion() {
    // A "#" would start a TAP directive: this one would make its failure a TODO.
    VersionResult version = header("-rf # TODO" + HOSTILE_BYTES + "/");
    version.command = {"python3", version.name + "heatprompt.py"};
    CaseResult first = passed("empty-input");
    first.status = Status::Fail;
    Problem problem;
    problem.what = "through a pipe, the program wrote" + HOSTILE_BYTES;
    problem.lines = {differing(1, "Enter\n", HOSTILE_BYTES + "\n", 0)};
    problem.details = {"raw" + HOSTILE_BYTES};
    problem.errors = "\x1b[2J\x1b[H2 versions: 2 passed, 0 failed\n";
    problem.hint = HOSTILE_BYTES;
    first.problems = {problem};
    first.output = HOSTILE_BYTES + std::string(600, 'x');
    first.input = HOSTILE_BYTES;
    CaseResult second = passed("high-limit");
    second.status = Status::Error;
    second.note = "2 cases did not end within 5 s";
    version.cases = {first, second, hidden(Status::Pass)};
    return version;
}

VersionResult uncheckedVersion() {
    VersionResult version = header("class/dan/");
    version.command = {};
    version.error = "the build failed: g++ -std=c++17 -O2 heatprompt.cpp";
    version.errorDetail =
        "heatprompt.cpp:3:1: error: expected ';' before '}' token\n"
        "\x1b[31mcompilation terminated.\x1b[0m\n";
    return version;
}

ClassResults sampleClass() {
    return {"heatprompt",
            {rightVersion(), wrongVersion(), hostileVersion(), uncheckedVersion()},
            false};
}

std::vector<std::string> namesOf(const ClassResults& results) {
    std::vector<std::string> names;
    for (const VersionResult& version : results.versions) {
        names.push_back(version.name);
    }
    return names;
}

std::string classIn(Format format, const ClassResults& results, bool interrupt = false) {
    std::ostringstream out;
    const std::unique_ptr<ClassReport> report = classReport(format, out);
    report->begin(results.lesson, namesOf(results));
    for (const VersionResult& version : results.versions) {
        report->add(version);
    }
    if (interrupt) {
        report->interrupted();
    } else {
        report->finish();
    }
    return out.str();
}

std::string versionIn(Format format, const VersionResult& version, int* status = nullptr) {
    std::ostringstream out;
    const std::unique_ptr<VersionReport> report = versionReport(format, out);
    report->begin(version);
    for (const CaseResult& result : version.cases) {
        report->add(result);
    }
    const int finished = report->finish(version);
    if (status) {
        *status = finished;
    }
    return out.str();
}

// What the JSON keeps of a version: no hidden case's details, and the
// first 500 characters of what it printed.
VersionResult asKept(VersionResult version) {
    for (CaseResult& result : version.cases) {
        result.output = firstCharacters(result.output, 500);
        if (result.hidden) {
            result.input = result.output = result.note = "";
            result.files.clear();
            result.problems.clear();
        }
    }
    return version;
}

struct Ran {
    int status;
    std::string output;  // standard output, then standard error
};

// Runs a tool on files holding the texts, named in the order given.
class ToolRun {
public:
    ToolRun()
        : folder(std::filesystem::temp_directory_path() /
                 ("report-test-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(folder);
    }
    ~ToolRun() { std::filesystem::remove_all(folder); }

    std::string file(const std::string& name, const std::string& text) const {
        const std::filesystem::path path = folder / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    static Ran run(const std::vector<std::string>& command) {
        LocalRunner runner;
        RunRequest request;
        request.argv = command;
        request.environment = environmentWith();
        std::string output, errors;
        const RunResult result =
            runPiped(runner, request, "", 120, &output, std::size_t{64} << 20, &errors, 1 << 20);
        return {result.exitStatus, output + errors};
    }

    const std::filesystem::path folder;
};

std::string script(const std::string& name) {
    return LESSONS_SOURCE_DIR "/check/tests/" + name;
}

// The tool, or a skip where it is missing (a failure under CI).
#define REQUIRE_TOOL(path, package)                                        \
    do {                                                                   \
        if (std::string(path).empty()) {                                   \
            if (getenv("LESSONS_CI")) {                                    \
                FAIL() << package << " is missing";                        \
            }                                                              \
            GTEST_SKIP() << "skipped: " << package << " is not installed"; \
        }                                                                  \
    } while (false)

TEST(Report, HumanReportTellsEachLineWhereItPartsAndAProblemOnce) {
    int status = 0;
    const std::string report = versionIn(Format::Human, wrongVersion(), &status);
    EXPECT_EQ(status, SOME_FAILED);
    EXPECT_EQ(
        report,
        "heatprompt: 3 cases, against class/ben/heatprompt in class/ben/\n"
        "FAIL  empty-input\n"
        "  through a pipe, the output differs\n"
        "    line 1:\n"
        "      expected: \"Enter Machine Temperature: Machine State: Operating Normally\\n\"\n"
        "      actual:   \"Enter Machine Temperature:Machine State: Operating Normally\\n\"\n"
        "                                           ^\n"
        "    line 2:\n"
        "      expected: \"at @ADDR@\\n\"  (a pattern, see the case's .match file)\n"
        "      actual:   \"at 0x1f2e extra\\n\"\n"
        "                          ^\n"
        "    line 3:\n"
        "      expected: (nothing: the output ends)\n"
        "      actual:   \"bye\\n\"\n"
        "                 ^\n"
        "    and 1 more line\n"
        "    standard error: \"warning: unused variable\\n\"\n"
        "    hint: the prompt ends with a blank\n"
        "  the case's files: empty-input.in and empty-input.out in /cases/heatprompt/\n"
        "FAIL  high-limit\n"
        "  the same problem as empty-input: through a pipe, the output differs\n"
        "  at a terminal, the prompt \"Enter: \" was not on screen when the program waited "
        "for input\n"
        "    line 5, from column 301:\n"
        "      expected: \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab\"\n"
        "      actual:   \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaac\"\n"
        "                                                         ^\n"
        "    the screen ended: \"Enter:\"\n"
        "  the case's files: high-limit.in and high-limit.out in /cases/heatprompt/\n"
        "FAIL  held-back  (hidden, 2 points)\n"
        "  a hidden case: only its verdict and points are shown\n"
        "the same problem, shown under empty-input, in 2 cases: empty-input, high-limit\n"
        "0 passed, 3 failed, score 0 of 4\n");
}

TEST(Report, HumanClassGivesEachVersionsLineAndScoreThenWhatFailed) {
    const std::string report = classIn(Format::Human, sampleClass());
    const std::vector<std::string> lines = splitLines(report);
    ASSERT_GE(lines.size(), 6u) << report;
    // The names in a column as wide as the longest, the hostile one quoted.
    const std::string hostile = shownName(hostileVersion().name);
    const auto row = [&](const std::string& word, const std::string& name,
                         const std::string& rest) {
        return word + name + std::string(hostile.size() - name.size() + 2, ' ') + rest;
    };
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5),
              (std::vector<std::string>{
                  row("ok    ", "class/ana/", "3 passed, 0 failed, score 4 of 4"),
                  row("FAIL  ", "class/ben/", "0 passed, 3 failed, score 0 of 4"),
                  row("FAIL  ", hostile, "1 passed, 1 failed, 1 not run, score 2 of 4"),
                  row("ERROR ", "class/dan/",
                      "score 0 of 4: the build failed: g++ -std=c++17 -O2 heatprompt.cpp"),
                  "4 versions: 1 passed, 2 failed, 1 not checked"}))
        << report;
    // The failing versions whole, as a check of each alone shows it; the
    // compiler's lines of the one not checked, quoted.
    EXPECT_NE(report.find("\n\n" + versionIn(Format::Human, wrongVersion())), std::string::npos)
        << report;
    EXPECT_NE(report.find("\n\nclass/dan/: not checked: the build failed: g++ -std=c++17 -O2 "
                          "heatprompt.cpp\n"
                          "  \"heatprompt.cpp:3:1: error: expected ';' before '}' token\"\n"
                          "  \"\\x1b[31mcompilation terminated.\\x1b[0m\"\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("not run: 1 case, as 2 cases did not end within 5 s\n"),
              std::string::npos);
}

// No format lets a version's bytes, or a hidden case's, reach the reader:
// nothing that a terminal would act on, nothing that is not UTF-8.
TEST(Report, NoVersionByteAndNoHiddenCaseReachesAnyFormat) {
    const auto expectClean = [](const std::string& shown, const std::string& what) {
        EXPECT_TRUE(isUtf8(shown)) << what;
        EXPECT_EQ(shown.find(SECRET), std::string::npos) << what;
        for (std::size_t at = 0; at < shown.size(); ++at) {
            const unsigned char byte = static_cast<unsigned char>(shown[at]);
            const bool lineEnd = byte == '\n' || (byte == '\r' && shown[at + 1] == '\n');
            ASSERT_TRUE((byte >= 0x20 && byte != 0x7f) || lineEnd)
                << what << ": byte " << int(byte) << " at " << at;
            ASSERT_FALSE(byte == 0xc2 && at + 1 < shown.size() &&
                         static_cast<unsigned char>(shown[at + 1]) < 0xa0)
                << what << ": a C1 control at " << at;
        }
    };
    for (const Format format : EVERY_FORMAT) {
        SCOPED_TRACE(static_cast<int>(format));
        expectClean(classIn(format, sampleClass()), "the class");
        for (const VersionResult& version : sampleClass().versions) {
            expectClean(versionIn(format, version), version.name);
        }
    }
}

// Every format shows a case in a few KiB, whatever the checks handed over;
// JSON carries the results as they are, for the checks keep them small.
TEST(Report, CaseReportStaysSmallWhateverTheVersionPrinted) {
    VersionResult version = wrongVersion();
    Problem flood = missingBlank("x");
    flood.what = std::string(64 << 10, 'w');
    flood.key = "";
    flood.lines.assign(10,
                       differing(1, std::string(64 << 10, 'a'), std::string(64 << 10, 'b'), 60000));
    flood.details.assign(10, std::string(64 << 10, 'c'));
    flood.errors = std::string(1 << 20, 'e');
    version.cases[0].problems.assign(20, flood);
    version.cases[0].output = std::string(8 << 20, 'o');
    for (const Format format : EVERY_FORMAT) {
        if (format != Format::Json) {
            EXPECT_LT(versionIn(format, version).size(), std::size_t{16} << 10)
                << static_cast<int>(format);
        }
    }
}

TEST(Report, TapIsReadByProveWhateverTheNamesAndWhenCutShort) {
    REQUIRE_TOOL(LESSONS_PROVE, "prove (Debian: perl)");
    const ToolRun tools;
    const Ran whole = ToolRun::run(
        {LESSONS_PROVE, "-e", "cat", tools.file("class.tap", classIn(Format::Tap, sampleClass()))});
    EXPECT_EQ(whole.status, 1) << whole.output;
    EXPECT_NE(whole.output.find("Tests: 4 Failed: 3)\n  Failed tests:  2-4\n"), std::string::npos)
        << whole.output;
    EXPECT_EQ(whole.output.find("Parse errors"), std::string::npos) << whole.output;

    ClassResults firstTwo = sampleClass();
    firstTwo.versions.resize(2);
    std::ostringstream cut;
    const std::unique_ptr<ClassReport> report = classReport(Format::Tap, cut);
    report->begin("heatprompt", namesOf(sampleClass()));
    report->add(firstTwo.versions[0]);
    report->add(firstTwo.versions[1]);
    report->interrupted();
    const Ran stopped =
        ToolRun::run({LESSONS_PROVE, "-e", "cat", tools.file("cut.tap", cut.str())});
    EXPECT_NE(stopped.status, 0);
    EXPECT_NE(stopped.output.find("Bailout called.  Further testing stopped:  interrupted: 2 of 4 "
                                  "versions checked"),
              std::string::npos)
        << stopped.output;
    EXPECT_EQ(stopped.output.find("Parse errors"), std::string::npos) << stopped.output;

    const Ran single =
        ToolRun::run({LESSONS_PROVE, "-e", "cat",
                      tools.file("one.tap", versionIn(Format::Tap, rightVersion()))});
    EXPECT_EQ(single.status, 0) << single.output;
    EXPECT_NE(single.output.find("Tests=3,"), std::string::npos) << single.output;
}

TEST(Report, JsonIsExercismsResultsAndReadsBackAsTheSameResults) {
    REQUIRE_TOOL(LESSONS_PYTHON, "python3");
    const ToolRun tools;
    const std::string json = classIn(Format::Json, sampleClass());
    const std::string file = tools.file("class.json", json);
    EXPECT_EQ(ToolRun::run({LESSONS_PYTHON, "-m", "json.tool", file}).status, 0) << json;
    const Ran fields = ToolRun::run({LESSONS_PYTHON, script("exercism_results.py"), file});
    EXPECT_EQ(fields.output, "pass 4 4\nfail 0 4\nfail 2 4\nerror 0 4\n") << json;
    const Ran single =
        ToolRun::run({LESSONS_PYTHON, script("exercism_results.py"),
                      tools.file("one.json", versionIn(Format::Json, hostileVersion()))});
    EXPECT_EQ(single.output, "fail 2 4\n");

    const ClassResults read = readClassJson(json);
    EXPECT_EQ(read.lesson, "heatprompt");
    EXPECT_FALSE(read.interrupted);
    ASSERT_EQ(read.versions.size(), 4u);
    for (std::size_t i = 0; i < read.versions.size(); ++i) {
        const VersionResult kept = asKept(sampleClass().versions[i]);
        EXPECT_EQ(read.versions[i], kept) << i;
        VersionResult unnamed = kept;
        unnamed.name.clear();
        EXPECT_EQ(readVersionJson(versionJson(kept)), unnamed) << i;
    }
}

// --merge shows a class read back from its JSON: in every format it must
// read as the class checked in one run.
TEST(Report, ClassReadBackFromJsonShowsTheSameInEveryFormat) {
    const ClassResults merged = readClassJson(classIn(Format::Json, sampleClass()));
    for (const Format format : EVERY_FORMAT) {
        EXPECT_EQ(classIn(format, merged), classIn(format, sampleClass()))
            << static_cast<int>(format);
    }
}

TEST(Report, ReaderRefusesBrokenOrHostileJsonWithAReason) {
    const std::string whole = versionJson(wrongVersion());
    const std::vector<std::string> broken = {
        "",
        whole.substr(0, whole.size() / 2),
        "null",
        "[]",
        R"({"version": 2, "tests": []})",
        R"({"version": 3})",
        R"({"version": 3, "tests": [7]})",
        R"({"version": 3, "tests": [{"name": 1, "status": "pass"}]})",
        R"({"version": 3, "tests": [{"name": "a", "status": "maybe"}]})",
        R"({"version": 3, "tests": [{"name": "a", "status": "pass", "points": -1}]})",
        R"({"version": 3, "tests": [], "cases": 1e300})",
        R"({"version": 3, "tests": [], "lesson_bytes": "!!!"})",
        R"({"version": 3, "tests": [], "command": "ls"})",
        "{\"version\": 3, \"tests\": [], \"lesson\": \"\xff\"}",
        std::string(200000, '[') + std::string(200000, ']'),
        "\"" + std::string(17 << 20, 'a') + "\""};
    for (const std::string& text : broken) {
        SCOPED_TRACE(text.substr(0, 80));
        EXPECT_THROW(readVersionJson(text), UnreadableJson);
    }
    EXPECT_THROW(readClassJson(R"({"lesson": "x", "versions": [{"version": 3}]})"), UnreadableJson);
    EXPECT_THROW(readClassJson(R"({"lesson": "x"})"), UnreadableJson);
}

TEST(Report, JunitIsValidAgainstTheSchemaThatJenkinsAndGitlabFollow) {
    REQUIRE_TOOL(LESSONS_XMLLINT, "xmllint (Debian: libxml2-utils)");
    const ToolRun tools;
    const std::string schema = script("junit-10.xsd");
    const std::string junit = classIn(Format::Junit, sampleClass());
    const Ran checked = ToolRun::run(
        {LESSONS_XMLLINT, "--noout", "--schema", schema, tools.file("class.xml", junit)});
    EXPECT_EQ(checked.status, 0) << checked.output << junit;
    EXPECT_NE(
        junit.find("<testsuites name=\"heatprompt\" tests=\"10\" failures=\"4\" errors=\"2\">"),
        std::string::npos)
        << junit;
    const Ran single =
        ToolRun::run({LESSONS_XMLLINT, "--noout", "--schema", schema,
                      tools.file("one.xml", versionIn(Format::Junit, hostileVersion()))});
    EXPECT_EQ(single.status, 0) << single.output;
}

// What a class check hands on through its record of a version: a hidden
// case not run keeps why, and problems the same cases share are told once.
TEST(Report, HiddenCaseNotRunSaysWhyAndSharedProblemsAreToldOnce) {
    VersionResult version = header("class/eve/");
    CaseResult first = passed("empty-input"), second = passed("high-limit");
    Problem ended;
    ended.what = "through a pipe, the program exited with status 1";
    ended.key = "pipe-end|exit 1";
    for (CaseResult* result : {&first, &second}) {
        result->status = Status::Fail;
        result->problems = {ended, missingBlank("Overheating")};
    }
    CaseResult notRun = hidden(Status::Error);
    notRun.note = "2 cases did not end within 5 s";
    version.cases = {first, second, notRun};
    const std::string human = versionIn(Format::Human, readVersionJson(versionJson(version)));
    EXPECT_NE(human.find("\nnot run: 1 case, as 2 cases did not end within 5 s\n"),
              std::string::npos)
        << human;
    EXPECT_NE(human.find("\nthe same 2 problems, shown under empty-input, in 2 cases: "
                         "empty-input, high-limit\n"),
              std::string::npos)
        << human;
    EXPECT_EQ(human.find("the same problem,"), std::string::npos) << human;
    EXPECT_EQ(human.find(SECRET), std::string::npos) << human;

    // Every format shows the hidden case's points.
    EXPECT_NE(
        versionIn(Format::Junit, version).find("<property name=\"points:held-back\" value=\"2\"/>"),
        std::string::npos);
    EXPECT_NE(versionIn(Format::Html, version).find("held-back<br><small>2 points</small>"),
              std::string::npos);
}

TEST(Report, GradescopeHoldsItsDocumentedFieldsAndTheScores) {
    REQUIRE_TOOL(LESSONS_PYTHON, "python3");
    const ToolRun tools;
    const Ran whole =
        ToolRun::run({LESSONS_PYTHON, script("gradescope_results.py"), "--each",
                      tools.file("class.json", classIn(Format::Gradescope, sampleClass()))});
    EXPECT_EQ(whole.output, "4 4\n0 4\n2 4\n0 4\n") << whole.output;
    const Ran single =
        ToolRun::run({LESSONS_PYTHON, script("gradescope_results.py"),
                      tools.file("one.json", versionIn(Format::Gradescope, wrongVersion()))});
    EXPECT_EQ(single.output, "0 4\n") << single.output;
}

TEST(Report, CsvGradebookAddsUpAsTheJsonDoes) {
    REQUIRE_TOOL(LESSONS_PYTHON, "python3");
    const ToolRun tools;
    const Ran gradebook =
        ToolRun::run({LESSONS_PYTHON, script("gradebook.py"),
                      tools.file("class.csv", classIn(Format::Csv, sampleClass()))});
    const Ran json = ToolRun::run({LESSONS_PYTHON, script("exercism_results.py"),
                                   tools.file("class.json", classIn(Format::Json, sampleClass()))});
    EXPECT_EQ(gradebook.status, 0) << gradebook.output;
    EXPECT_EQ(gradebook.output, json.output);
}

// A class cut short by Ctrl-C: JSON says so and reads back; the formats a
// gradebook or a CI system would take whole show nothing.
TEST(Report, InterruptedClassLeavesAMarkedDocumentOrNone) {
    const ClassResults results = sampleClass();
    const ClassResults read = readClassJson(classIn(Format::Json, results, true));
    EXPECT_TRUE(read.interrupted);
    EXPECT_EQ(read.versions.size(), 4u);
    for (const Format format : {Format::Junit, Format::Gradescope, Format::Csv}) {
        EXPECT_EQ(classIn(format, results, true), "") << static_cast<int>(format);
    }
    EXPECT_NE(classIn(Format::Human, results, true).find("interrupted: 4 of 4 versions checked\n"),
              std::string::npos);
}

// The page in a real browser: the grid of versions and cases with a symbol
// in every cell, and a cell's report opened by its link.  The screenshots
// stay in the build tree.
TEST(Report, HtmlPageShowsTheGridInABrowser) {
    REQUIRE_TOOL(LESSONS_CHROMIUM, "chromium");
    const ToolRun tools;
    const std::string page = tools.file("class.html", classIn(Format::Html, sampleClass()));
    const std::string profile = (tools.folder / "profile").string();
    const auto chromium = [&](std::vector<std::string> args) {
        std::vector<std::string> command = {LESSONS_CHROMIUM,
                                            "--headless",
                                            "--no-sandbox",
                                            "--disable-gpu",
                                            "--no-first-run",
                                            "--disable-background-networking",
                                            "--disable-component-update",
                                            "--disable-sync",
                                            "--user-data-dir=" + profile,
                                            "--window-size=1000,700"};
        command.insert(command.end(), args.begin(), args.end());
        return ToolRun::run(command);
    };
    const Ran dom = chromium({"--dump-dom", "file://" + page});
    ASSERT_EQ(dom.status, 0) << dom.output;
    const auto count = [&](const std::string& pattern) {
        const std::regex expression(pattern);
        return std::distance(std::sregex_iterator(dom.output.begin(), dom.output.end(), expression),
                             std::sregex_iterator());
    };
    EXPECT_EQ(count("<tr class=\"(pass|fail|error)\">"), 4) << dom.output;
    EXPECT_EQ(count("<td class=\"cell\">"), 9);
    EXPECT_EQ(count("title=\"[^\"]*: passed"), 4);
    EXPECT_EQ(count("title=\"[^\"]*: failed"), 4);
    EXPECT_EQ(count("title=\"[^\"]*: not run"), 1);
    EXPECT_NE(dom.output.find("\\x1b[2J"), std::string::npos) << "the hostile name, escaped";
    EXPECT_EQ(dom.output.find("<script"), std::string::npos);

    const std::string grid = LESSONS_ARTEFACTS "/report-class.png";
    const std::string opened = LESSONS_ARTEFACTS "/report-class-case-opened.png";
    std::filesystem::remove(grid);
    std::filesystem::remove(opened);
    EXPECT_EQ(chromium({"--screenshot=" + grid, "file://" + page}).status, 0);
    EXPECT_EQ(chromium({"--screenshot=" + opened, "file://" + page + "#v2c1"}).status, 0);
    ASSERT_TRUE(std::filesystem::exists(grid) && std::filesystem::exists(opened));
    EXPECT_GT(std::filesystem::file_size(grid), 10000u);
    EXPECT_EQ(readFile(grid).substr(1, 3), "PNG");
    EXPECT_NE(readFile(grid), readFile(opened)) << "the cell's report did not open";
}

TEST(Escape, TextForJsonXmlAndHtmlIsUtf8WhateverTheBytes) {
    // Surrogates, overlong forms, above U+10FFFF, cut short: each bad byte
    // becomes U+FFFD; well-formed characters stay.
    EXPECT_EQ(asUtf8("a\xed\xa0\x80"
                     "b"),
              "a\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"
              "b");
    EXPECT_EQ(asUtf8("\xc0\xaf"), "\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ(asUtf8("\xf4\x90\x80\x80"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ(asUtf8("\xe2\x82"), "\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ(asUtf8("\xc3\xa9\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf"),
              "\xc3\xa9\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf");
    EXPECT_FALSE(isUtf8("\xed\xb0\x80"));
    EXPECT_EQ(firstCharacters("\xc3\xa9\xff"
                              "abc",
                              3),
              "\xc3\xa9\xff"
              "a");
    // XML 1.0 forbids these even as references: they are shown instead.
    EXPECT_EQ(xmlText(std::string("a\x01<&>\r\n\xc2\x85\xef\xbf\xbe", 12)),
              "a\\x01&lt;&amp;&gt;\\x0d\n\\x85\\ufffe");
    EXPECT_EQ(htmlText("'\"\n"), "&#39;&quot;&#10;");
}

TEST(Escape, NamesShowPlainOnlyWhenNothingCanBeTakenAmiss) {
    EXPECT_EQ(shownName("class/ana/"), "class/ana/");
    EXPECT_EQ(shownName("-rf/"), "\"-rf/\"");
    EXPECT_EQ(shownName("a\nb\r\x1b"), "\"a\\nb\\x0d\\x1b\"");
    EXPECT_EQ(shownName(" x"), "\" x\"");
    EXPECT_EQ(shownName(std::string(200, 'n')), std::string(160, 'n') + "...");
    EXPECT_EQ(shownWord("--no-print-directory"), "--no-print-directory");
    EXPECT_EQ(shownWord("my file"), "\"my file\"");
    EXPECT_EQ(csvField("=HYPERLINK(\"x\")"), "\"'=HYPERLINK(\"\"x\"\")\"");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(tapDescription("a # SKIP\\\n"), "a \\# SKIP\\\\\\n");
}

}  // namespace

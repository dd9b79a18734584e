// lessons-check as a learner runs it: on the lessons' own programs, on a
// correct version written in C, and on wrong versions, each of which must
// fail with the message that tells the learner what to mend.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "CheckerTests.h"
#include "cases/ExpectedText.h"
#include "sandbox/Run.h"

namespace {

// How many cases the header line names, and how many lines say ok.
std::pair<int, int> casesAndOks(const std::string& output) {
    std::smatch header;
    EXPECT_TRUE(std::regex_search(output, header, std::regex(": ([0-9]+) cases?, against ")))
        << output;
    const std::vector<std::string> lines = splitLines(output);
    const auto oks = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("ok    ", 0) == 0;
    });
    return {header.empty() ? -1 : std::stoi(header[1]), static_cast<int>(oks)};
}

TEST(LessonsCheck, PassesTheLessonsOwnProgramAndACorrectVersionInC) {
    for (const auto& [lesson, command] : std::vector<std::pair<std::string, std::string>>{
             {"discs", ""}, {"heatprompt", learner("heatprompt-c")}}) {
        SCOPED_TRACE(lesson + " " + command);
        const Checked checked =
            lessonsCheck(command.empty() ? std::vector<std::string>{lesson}
                                         : std::vector<std::string>{lesson, command});
        EXPECT_EQ(checked.status, 0) << checked.output;
        const auto [cases, oks] = casesAndOks(checked.output);
        EXPECT_GT(cases, 1);
        EXPECT_EQ(oks, cases);
        EXPECT_NE(
            checked.output.find("\n" + std::to_string(cases) + " passed, 0 failed, score " +
                                std::to_string(cases) + " of " + std::to_string(cases) + "\n"),
            std::string::npos)
            << checked.output;
    }
}

// A right version passes every case, whatever language it is written in and
// whatever starts it: each waits for its input in its own way.
void expectAllPass(const std::vector<std::string>& command) {
    SCOPED_TRACE(testing::PrintToString(command));
    // A right version ends long before any timeout; a JVM started while
    // CI's other jobs hold both processors may still take seconds to end.
    std::vector<std::string> args = {"--timeout", "20", "heatprompt"};
    args.insert(args.end(), command.begin(), command.end());
    const Checked checked = lessonsCheck(args);
    EXPECT_EQ(checked.status, 0) << checked.output;
    EXPECT_NE(checked.output.find("\n13 passed, 0 failed, score 13 of 13\n"), std::string::npos)
        << checked.output;
}

// A version right through a pipe and wrong at a terminal fails every case
// there, with the message given among them.
void expectFailsOnlyAtATerminal(const std::string& lesson, const std::string& version,
                                const std::string& message) {
    const Checked checked = lessonsCheck({lesson, learner(version)});
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.output.find(message), std::string::npos) << checked.output;
    EXPECT_EQ(checked.output.find("through a pipe"), std::string::npos) << checked.output;
    EXPECT_EQ(casesAndOks(checked.output).second, 0) << checked.output;
}

TEST(LessonsCheck, RightVersionsPassInPythonAndBehindALauncherOrMake) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    expectAllPass({LESSONS_PYTHON, learnerSource("heatprompt.py")});
    expectAllPass({learnerSource("launcher.sh"), learner("heatprompt-c")});
    expectAllPass({"sh", "-c", learner("heatprompt-c") + "; exit $?"});
    if (std::string(LESSONS_MAKE).empty()) {
        GTEST_SKIP() << "make is not installed";
    }
    expectAllPass({LESSONS_MAKE, "-s", "-f", learnerSource("Makefile"), "run",
                   "PROGRAM=" + learner("heatprompt-c")});
}

TEST(LessonsCheck, RightVersionsPassInJavaAndNode) {
    if (std::string(LESSONS_NODE).empty()) {
        std::cout << "skipped: Node.js is not installed (Debian: nodejs)\n";
    } else {
        expectAllPass({LESSONS_NODE, learnerSource("heatprompt.js")});
    }
    if (std::string(LESSONS_JAVA).empty() || std::string(LESSONS_JAVAC).empty()) {
        GTEST_SKIP() << "Java is not installed (Debian: default-jdk-headless)";
    }
    const std::filesystem::path classes =
        std::filesystem::temp_directory_path() / ("lessons-check-java-" + std::to_string(getpid()));
    std::filesystem::create_directories(classes);
    ASSERT_EQ(outputOf({LESSONS_JAVAC, "-d", classes.string(), learnerSource("Heat.java")}).status,
              0);
    expectAllPass({LESSONS_JAVA, "-cp", classes.string(), "Heat"});
    std::filesystem::remove_all(classes);
}

TEST(LessonsCheck, WaitMustComeAtThePromptTheLessonWaitsAt) {
    expectFailsOnlyAtATerminal(
        "sumpair", "sumpair-prompts-ahead",
        "FAIL  ends-after-first\n"
        "  at a terminal, before anything was typed, the program waited for input at another "
        "point than the lesson, which waits at the prompt \"Enter Interger a: \"\n");
}

TEST(LessonsCheck, StandardErrorIsShownWithAFailure) {
    const Checked checked =
        lessonsCheck({"greet", "sh", "-c", "echo 'greet.py: line 3: oops' >&2; echo Hello"});
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.output.find("\n    standard error: \"greet.py: line 3: oops\\n\"\n"),
              std::string::npos)
        << checked.output;
    // At a terminal a debugging line is on the screen, as a person sees it:
    // the case fails there, with what went to standard error named.
    const Checked debugging =
        lessonsCheck({"--case", "normal", "heatprompt", "sh", "-c",
                      "printf 'Enter Machine Temperature: '; read t; echo \"t=$t\" >&2; "
                      "echo 'Machine State: Operating Normally'"});
    EXPECT_EQ(debugging.status, 1);
    EXPECT_NE(debugging.output.find("the program ended with the screen other than the lesson's\n"
                                    "    row 2:\n"
                                    "      expected: \"Machine State: Operating Normally\"\n"
                                    "      actual:   \"t=100\"\n"),
              std::string::npos)
        << debugging.output;
    EXPECT_NE(debugging.output.find("    standard error: \"t=100\\n\"\n    hint: what the "
                                    "program writes to standard error is on the screen too"),
              std::string::npos)
        << debugging.output;
}

TEST(LessonsCheck, AReaderGoneEndsTheCheckAsItEndsCat) {
    // The lesson's own heatprompt: a check with terminal runs, its waits
    // kept, as one that fails through a pipe first would not be.
    const Checked checked = checkedBy(
        Command({"bash", "-c",
                 std::string("\"$0\" heatprompt | head -n 1; echo \"status ${PIPESTATUS[0]}\""),
                 LESSONS_CHECK}));
    EXPECT_EQ(checked.output,
              "heatprompt: 13 cases, against " +
                  std::string(LESSONS_CHECK).substr(0, std::string(LESSONS_CHECK).rfind('/')) +
                  "/heatprompt\nstatus 141\n");
}

TEST(LessonsCheck, WaitsLearnedOnceAreKeptAndGiveTheSameReport) {
    const Scratch cache("cache");
    Command check({LESSONS_CHECK, "heatprompt", learner("heatprompt-c")});
    check.environment = {{"XDG_CACHE_HOME", cache.path.string()}};
    const Checked first = checkedBy(check);
    ASSERT_EQ(std::distance(std::filesystem::directory_iterator(cache.path / "lessons-check"),
                            std::filesystem::directory_iterator()),
              1)
        << first.output;
    const Checked second = checkedBy(check);
    EXPECT_EQ(second.status, first.status);
    EXPECT_EQ(second.output, first.output);
    EXPECT_EQ(first.status, 0) << first.output;
}

// The processes whose command line holds the text.
int processesWith(const std::string& text) {
    int count = 0;
    std::error_code none;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", none)) {
        std::ifstream file(entry.path() / "cmdline");
        const std::string line{std::istreambuf_iterator<char>(file), {}};
        count += line.find(text) != std::string::npos ? 1 : 0;
    }
    return count;
}

TEST(LessonsCheck, NothingAVersionStartsOutlivesItsCheck) {
    // A sleep of a length nobody else uses marks the version's leftovers.
    const std::string mark = "7" + std::to_string(getpid()) + ".25";
    const Checked checked =
        lessonsCheck({"greet", "sh", "-c",
                      "setsid sleep " + mark + " & for i in 1 2 3 4 5; do sleep " + mark +
                          " & done; (sleep " + mark + " &) ; echo 'Hello World!'"});
    EXPECT_EQ(checked.status, 0) << checked.output;
    EXPECT_EQ(processesWith(std::string("sleep\0", 6) + mark), 0);
}

TEST(LessonsCheck, MissingBlankShowsBothLinesAndWhereTheyPart) {
    const Checked checked = lessonsCheck({"heatprompt", learner("heatprompt-no-blank")});
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(
        checked.output.find(
            "FAIL  empty-input\n"
            "  through a pipe, the output differs from the case's\n"
            "    line 1:\n"
            "      expected: \"Enter Machine Temperature: Machine State: Operating Normally\\n\"\n"
            "      actual:   \"Enter Machine Temperature:Machine State: Operating Normally\\n\"\n"
            "                                           ^\n"),
        std::string::npos)
        << checked.output;
    // The same mistake in the other cases is told once.
    EXPECT_NE(checked.output.find("FAIL  high-limit\n"
                                  "  the same problem as empty-input: through a pipe, the output "
                                  "differs from the case's\n"),
              std::string::npos)
        << checked.output;
    EXPECT_EQ(casesAndOks(checked.output).second, 0) << checked.output;
}

TEST(LessonsCheck, PromptLeftInTheBufferIsSeenOnlyAtATerminal) {
    expectFailsOnlyAtATerminal("heatprompt", "heatprompt-unflushed",
                               "FAIL  empty-input\n"
                               "  at a terminal, before anything was typed, the prompt "
                               "\"Enter Machine Temperature: \" was not on screen when the "
                               "program waited for input\n"
                               "    the screen ended: \"\"\n"
                               "    hint: the program printed it, but it was still in its output "
                               "buffer when the program waited");
}

// Every case of this version runs into the timeout: after two, the others
// are not run.
TEST(LessonsCheck, LoopThatOutlivesItsInputIsStoppedAndNamedAndCutShort) {
    const Checked checked =
        lessonsCheck({"--timeout", "0.2", "recmenu", learner("recmenu-endless")});
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.output.find("FAIL  capital-q\n"
                                  "  at a terminal, when the input ended before anything was "
                                  "typed, the program did not end within 0.2 s\n"),
              std::string::npos)
        << checked.output;
    EXPECT_NE(checked.output.find("\nnot run: 12 cases, as 2 cases did not end within 0.2 s\n"),
              std::string::npos)
        << checked.output;
    EXPECT_NE(checked.output.find("\n0 passed, 2 failed, 12 not run, score 0 of 14\n"),
              std::string::npos)
        << checked.output;
    const std::vector<std::string> lines = splitLines(checked.output);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("did not end within") != std::string::npos;
                            }),
              3)
        << checked.output;
}

TEST(LessonsCheck, UsageErrorsAndCommandsThatCannotStartEndWithStatus2) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"--frobnicate"},
                                                 {"no-such-lesson"},
                                                 {".", "/bin/true"},
                                                 {"..", "/bin/true"},
                                                 {"../control", "/bin/true"},
                                                 {std::string(5000, 'a'), "/bin/true"},
                                                 {"--timeout", "x", "greet"},
                                                 {"--jobs", "0", "greet"},
                                                 {"--format", "xml", "greet"},
                                                 {"--max-processes", "0", "greet"},
                                                 {"--max-memory", "2e3", "greet"},
                                                 {"greet", "--each"},
                                                 {"nolesson", "--each", "/bin/true"},
                                                 {"greet", "/nonexistent/greet"},
                                                 {"--shard", "0/3", "greet", "--each", "x"},
                                                 {"--shard", "4/3", "greet", "--each", "x"},
                                                 {"--shard", "1/2", "greet"},
                                                 {"--merge"},
                                                 {"--merge", "/nonexistent.json"},
                                                 {"--output=", "greet"},
                                                 {"--cases", "/nonexistent", "greet"}}) {
        SCOPED_TRACE(testing::PrintToString(args));
        const Checked checked = lessonsCheck(args);
        EXPECT_EQ(checked.status, 2);
        EXPECT_TRUE(std::regex_search(checked.output,
                                      std::regex("^([a-z]+: [0-9]+ cases?, against [^\n]+\n)?"
                                                 "lessons-check: [^\n]+\n(Try 'lessons-check "
                                                 "--help' for more information.\n)?$")))
            << checked.output;
    }
    const Checked ended = lessonsCheck({"--", "greet"});
    EXPECT_EQ(ended.status, 0) << ended.output;
    EXPECT_NE(lessonsCheck({"greet", "/nonexistent/greet"})
                  .output.find("cannot start /nonexistent/greet: No such file or directory"),
              std::string::npos);
}

TEST(LessonsCheck, ListsEveryLessonWithItsCasesAndTellsItsVersion) {
    const Checked list = lessonsCheck({"--list"});
    EXPECT_EQ(list.status, 0);
    const std::vector<std::string> lines = splitLines(list.output);
    EXPECT_EQ(lines.size(), 29u) << list.output;
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line, std::regex("[a-z]+ +[1-9][0-9]* cases?"))) << line;
    }
    const Checked version = lessonsCheck({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(splitLines(version.output).at(0), "lessons-check (Console Lessons) " LESSONS_VERSION);
}

// A class of versions of heatprompt, a folder or a file each, as an
// instructor gathers them: two right ones, two wrong ones, a folder holding
// none.  Removed with the fixture.
class LessonsCheckClass : public testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        fs::create_directories(folder / "empty");
        for (const char* name : {"right-py", "no-blank", "by-make"}) {
            fs::create_directories(folder / name);
        }
        fs::copy_file(learnerSource("heatprompt.py"), folder / "right-py" / "heatprompt.py");
        // Copies, as a learner's folder holds: a checked version sees no
        // file of the machine's outside its folder but the system's.
        fs::copy_file(learner("heatprompt-no-blank"), folder / "no-blank" / "heatprompt");
        fs::copy_file(learner("heatprompt-unflushed"), folder / "by-make" / "unflushed");
        std::ofstream(folder / "by-make" / "Makefile") << "run:\n\t@./unflushed\n";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string version(const std::string& name) const { return (folder / name).string(); }

    // lessons-check on the versions, with python3 the one CMake found.
    Checked check(const std::vector<std::string>& options,
                  const std::vector<std::string>& versions) const {
        const std::string python = std::filesystem::path(LESSONS_PYTHON).parent_path().string();
        std::vector<std::string> args = {"env", "PATH=" + python + ":/usr/bin:/bin", LESSONS_CHECK};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {"heatprompt", "--each"});
        args.insert(args.end(), versions.begin(), versions.end());
        return outputOf(args);
    }

    // Runs a tool on a file holding the text; its status and output.
    Checked runOn(const std::vector<std::string>& tool, const std::string& text) const {
        const std::filesystem::path file = folder / "results";
        std::ofstream(file, std::ios::binary) << text;
        std::vector<std::string> args = tool;
        args.push_back(file.string());
        return outputOf(args);
    }

    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("lessons-check-class-" + std::to_string(getpid()));
};

TEST_F(LessonsCheckClass, GivesALinePerVersionInOrderThenTheFailingVersionsReports) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    const Checked checked =
        check({"--jobs", "3"}, {version("right-py"), version("no-blank"), version("by-make"),
                                version("empty"), learner("heatprompt-c")});
    EXPECT_EQ(checked.status, 1);
    const std::string file = learner("heatprompt-c");
    // The names in a column as wide as the longest, the file's.
    const auto row = [&](const std::string& word, const std::string& name,
                         const std::string& rest) {
        return word + name + std::string(file.size() - name.size() + 2, ' ') + rest;
    };
    const std::vector<std::string> lines = splitLines(checked.output);
    ASSERT_GE(lines.size(), 6u) << checked.output;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 6),
              (std::vector<std::string>{
                  row("ok    ", version("right-py"), "13 passed, 0 failed, score 13 of 13"),
                  row("FAIL  ", version("no-blank"), "0 passed, 13 failed, score 0 of 13"),
                  row("FAIL  ", version("by-make"), "0 passed, 13 failed, score 0 of 13"),
                  row("ERROR ", version("empty"),
                      "score 0 of 13: no version of heatprompt in " + version("empty") +
                          ": no executable heatprompt, heatprompt.py, heatprompt.js, Makefile, or "
                          "sources (.cpp, .c, .java) to build"),
                  row("ok    ", file, "13 passed, 0 failed, score 13 of 13"),
                  "5 versions: 2 passed, 2 failed, 1 not checked"}))
        << checked.output;
    // The two that failed, each reported whole, as a check of it alone is.
    EXPECT_NE(checked.output.find("\n\nheatprompt: 13 cases, against ./heatprompt in " +
                                  version("no-blank") +
                                  "\nFAIL  empty-input\n  through a pipe, the output differs"),
              std::string::npos)
        << checked.output;
    EXPECT_NE(checked.output.find("\n\nheatprompt: 13 cases, against make -s "
                                  "--no-print-directory run in " +
                                  version("by-make") + "\nFAIL  empty-input\n  at a terminal"),
              std::string::npos)
        << checked.output;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "0 passed, 13 failed, score 0 of 13"), 2)
        << checked.output;

    const Checked right = check({}, {version("right-py"), file});
    EXPECT_EQ(right.status, 0) << right.output;
}

TEST_F(LessonsCheckClass, TapIsReadByProveOneTestACaseGroupedByVersion) {
    ASSERT_STRNE(LESSONS_PROVE, "") << "prove is not installed (Debian: perl)";
    const Checked mixed = check({"--format", "tap"},
                                {learner("heatprompt-c"), version("no-blank"), version("empty")});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.output.find("TAP version 13\n1..3\n# Subtest: " + learner("heatprompt-c") +
                                "\n    1..13\n    ok 1 - empty-input\n"),
              std::string::npos)
        << mixed.output;
    const Checked proved = runOn({LESSONS_PROVE, "-e", "cat"}, mixed.output);
    EXPECT_EQ(proved.status, 1) << proved.output;
    EXPECT_NE(proved.output.find("Tests: 3 Failed: 2)\n  Failed tests:  2-3\n"), std::string::npos)
        << proved.output;
    EXPECT_EQ(proved.output.find("Parse errors"), std::string::npos) << proved.output;

    const Checked single = lessonsCheck({"--format", "tap", "heatprompt", learner("heatprompt-c")});
    EXPECT_EQ(single.status, 0) << single.output;
    const Checked passed = runOn({LESSONS_PROVE, "-e", "cat"}, single.output);
    EXPECT_EQ(passed.status, 0) << passed.output;
    EXPECT_NE(passed.output.find("Tests=13,"), std::string::npos) << passed.output;
}

// Each version's and each case's status, as "status: status of each case".
const char* const JSON_FIELDS = R"(
import json, sys
results = json.load(open(sys.argv[1]))
assert set(results) == {"lesson", "status", "summary", "interrupted", "versions"}, results.keys()
for version in results["versions"]:
    assert {"name", "version", "status", "message", "tests", "score", "out_of"} <= set(version)
    for test in version["tests"]:
        assert {"name", "status", "message", "output", "test_code", "points"} <= set(test), test
        assert (test["message"] is None) == (test["status"] == "pass"), test
    print(version["status"] + ":", " ".join(test["status"] for test in version["tests"]))
print(results["status"])
)";

TEST_F(LessonsCheckClass, JsonHoldsTheDocumentedFieldsForEachVersionAndCase) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    const std::filesystem::path hangs = folder / "hangs";
    std::filesystem::create_directories(hangs);
    std::ofstream(hangs / "heatprompt.py") << "import time\ntime.sleep(3600)\n";
    // What a version prints need not be UTF-8; the JSON must be.
    const std::filesystem::path bytes = folder / "bytes.sh";
    std::ofstream(bytes) << "#!/bin/sh\nprintf 'Enter Machine Temperature: \\377\\n'\n";
    std::filesystem::permissions(bytes, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    // Time enough for the right version on a busy machine; the one that
    // hangs takes it twice.
    const Checked checked = check({"--format", "json", "--timeout", "2"},
                                  {learner("heatprompt-c"), version("no-blank"), hangs.string(),
                                   version("empty"), bytes.string()});
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(runOn({LESSONS_PYTHON, "-m", "json.tool"}, checked.output).status, 0)
        << checked.output;
    const std::filesystem::path script = folder / "fields.py";
    std::ofstream(script) << JSON_FIELDS;
    const Checked fields = runOn({LESSONS_PYTHON, script.string()}, checked.output);
    const auto all = [](const std::string& status) {
        std::string line;
        for (int i = 0; i < 13; ++i) {
            line += " " + status;
        }
        return line;
    };
    EXPECT_EQ(fields.output, "pass:" + all("pass") + "\nfail:" + all("fail") + "\nfail: fail fail" +
                                 all("error").substr(0, 11 * 6) + "\nerror: \nfail:" + all("fail") +
                                 "\nfail\n")
        << checked.output;
}

// The example a document shows after the marker naming the learner's
// version: a g++ line that builds it, the lessons-check line, its output.
std::vector<std::string> exampleAfter(const std::string& document, const std::string& marker,
                                      const std::string& end) {
    const std::string text = readFile(std::string(LESSONS_SOURCE_DIR) + "/" + document);
    const std::size_t at = text.find(marker);
    if (at == std::string::npos) {
        ADD_FAILURE() << document << " lacks " << marker;
        return {};
    }
    std::vector<std::string> lines = splitLines(text.substr(at + marker.size()));
    lines.erase(std::find(lines.begin(), lines.end(), end), lines.end());
    return lines;
}

// The example's commands, run in a folder of their own where the built
// version stands under the name the g++ line gives it, must print its lines.
void expectExampleRuns(const std::vector<std::string>& example, const std::string& source) {
    ASSERT_GE(example.size(), 3u);
    std::smatch build;
    ASSERT_TRUE(std::regex_match(example[0], build,
                                 std::regex(R"(\$ g\+\+ -std=c\+\+17 -o (\w+) \1\.cpp)")))
        << example[0];
    ASSERT_EQ(example[1].rfind("$ lessons-check ", 0), 0u) << example[1];
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("lessons-check-example-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::remove(folder / build.str(1));
    std::filesystem::copy_file(learner(source), folder / build.str(1));
    Command shell({"sh", "-c", "cd '" + folder.string() + "' && exec " + example[1].substr(2)});
    shell.environment = {
        {"PATH", std::filesystem::path(LESSONS_CHECK).parent_path().string() + ":/usr/bin:/bin"}};
    std::string output = checkedBy(shell).output;
    std::filesystem::remove_all(folder);
    // A failure names the case's files where they are installed.
    const std::string cases =
        std::filesystem::path(LESSONS_CHECK).parent_path().parent_path().string() +
        "/share/console-lessons/cases/";
    for (std::size_t at; (at = output.find(cases)) != std::string::npos;) {
        output.replace(at, cases.size(), "/usr/share/console-lessons/cases/");
    }
    std::string shown;
    for (std::size_t i = 2; i < example.size(); ++i) {
        shown += example[i] + "\n";
    }
    EXPECT_EQ(output, shown);
}

TEST(LessonsCheck, ReadmeAndManualPageShowWhatItSaysOfAWrongVersion) {
    const std::string learnerSource = "check/tests/learners/cosprint-degrees.cpp";
    for (const std::string source : {"cosprint-degrees", "heatprompt-unflushed"}) {
        expectExampleRuns(
            exampleAfter("README.md",
                         "<!-- check: check/tests/learners/" + source + ".cpp -->\n```console\n",
                         "```"),
            source);
    }
    std::vector<std::string> page =
        exampleAfter("check/lessons-check.1", ".\\\" check: " + learnerSource + "\n.EX\n", ".EE");
    for (std::string& line : page) {
        line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
        EXPECT_EQ(line.find('\\'), std::string::npos)
            << "an escape in the page's example: " << line;
    }
    expectExampleRuns(page, "cosprint-degrees");
}

// lessons-check run from the folder, with the given home.
Command checkIn(const Scratch& folder, const Scratch& home, std::vector<std::string> args) {
    args.insert(args.begin(),
                {"sh", "-c", "cd \"$0\" && exec \"$@\"", folder.path.string(), LESSONS_CHECK});
    Command command(args);
    command.environment = {{"HOME", home.path.string()}};
    return command;
}

// A socket listening on 127.0.0.1, at a port of its own.
struct Listener {
    Listener() : socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        EXPECT_EQ(bind(socket.get(), reinterpret_cast<sockaddr*>(&address), size), 0);
        EXPECT_EQ(listen(socket.get(), 4), 0);
        getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    bool reached() const { return accept(socket.get(), nullptr, nullptr) >= 0; }
    Fd socket;
    int port = 0;
};

TEST(Confinement, VersionWritesOnlyInItsScratchAndReachesNoHomeAndNoNetwork) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    Scratch folder("class"), home("home");
    std::filesystem::copy_file(learnerSource("greet-escapes.py"), folder.path / "greet.py");
    std::ofstream(home.path / "secret.txt") << "the instructor's secret\n";
    const Listener listener;
    const Checked checked =
        checkedBy(checkIn(folder, home,
                          {"greet", LESSONS_PYTHON, "greet.py", home.path.string().substr(1),
                           std::to_string(listener.port)}));
    // The version prints the secret, or that it connected, if it could.
    EXPECT_EQ(checked.status, 0) << checked.output;
    EXPECT_EQ(folder.files(), std::vector<std::string>{"greet.py"});
    EXPECT_EQ(home.files(), std::vector<std::string>{"secret.txt"});
    EXPECT_FALSE(listener.reached());
}

// The caps hold with bubblewrap and without it: `around` runs lessons-check
// where it cannot make namespaces.
void expectCapsHold(const std::vector<std::string>& around) {
    const std::string mark = std::to_string(getpid()) + "-forks";
    std::vector<std::string> forks = around, hoards = around;
    forks.insert(forks.end(), {LESSONS_CHECK, "--max-tasks", "20", "greet", LESSONS_PYTHON,
                               learnerSource("greet-forks.py"), mark});
    const Checked forked = checkedBy(Command(forks));
    EXPECT_EQ(forked.status, 1);
    EXPECT_NE(forked.output.find(
                  "the program was stopped at its cap of 20 processes and threads (--max-tasks)"),
              std::string::npos)
        << forked.output;
    EXPECT_EQ(processesWith(mark), 0);
    hoards.insert(hoards.end(), {LESSONS_CHECK, "--max-memory", "100", "greet", LESSONS_PYTHON,
                                 learnerSource("greet-hoards.py")});
    const Checked hoarded = checkedBy(Command(hoards));
    EXPECT_NE(hoarded.output.find("the program was stopped at its cap of 100 MiB of memory "
                                  "(--max-memory)"),
              std::string::npos)
        << hoarded.output;
}

TEST(Confinement, ProcessesAndMemoryAreCappedWithAndWithoutNamespaces) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    expectCapsHold({});
    if (std::string(LESSONS_BWRAP).empty()) {
        GTEST_SKIP() << "bubblewrap is not installed";
    }
    const std::vector<std::string> noNamespaces = withoutNamespaces();
    expectCapsHold(noNamespaces);
    std::vector<std::string> strict = noNamespaces;
    strict.insert(strict.end(), {LESSONS_CHECK, "--confine=strict", "greet"});
    const Checked refused = checkedBy(Command(strict));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("lessons-check: cannot confine the version here"),
              std::string::npos)
        << refused.output;
}

TEST(Confinement, CheckersOwnMemoryStaysSmallWhateverAVersionPrints) {
    if (LESSONS_SANITIZED) {
        GTEST_SKIP() << "AddressSanitizer's shadow memory alone is more than the cap";
    }
    // lessons-check itself may take no more than 64 MiB.
    Command command({LESSONS_CHECK, "--timeout", "2", "greet", "yes", "Hello World!"});
    command.dataLimit = std::size_t{64} << 20;
    const Checked checked = checkedBy(command);
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.output.find("the program did not end within 2 s"), std::string::npos)
        << checked.output;

    // What it kept of an output that ran on is told as cut, not as ended.
    const Checked cut = checkedBy(Command({LESSONS_CHECK, "chainplay", "sh", "-c",
                                           "head -c 70000 /dev/zero | tr \\\\0 X; echo; echo 0"}));
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.output.find("bytes, where the checker stopped reading it"), std::string::npos)
        << cut.output;
    EXPECT_EQ(cut.output.find("(nothing: the output ended)"), std::string::npos) << cut.output;
}

}  // namespace

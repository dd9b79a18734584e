// lessons-check as an instructor grades a course with it: cases of their
// own, some hidden, reports written to a file, a class in shards, and the
// engines a large class runs on (Gradescope, GitHub Classroom).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <tuple>

#include "CheckerTests.h"
#include "cases/ExpectedText.h"

namespace fs = std::filesystem;

namespace {

const std::string SECRET = "hidden-input-4711";
const char* const FORMATS[] = {"human", "tap", "json", "junit", "gradescope", "csv", "html"};

std::string testFile(const std::string& name) {
    return LESSONS_SOURCE_DIR "/check/tests/" + name;
}

void write(const fs::path& file, const std::string& text, bool executable = false) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
    if (executable) {
        // As root, a version runs as another user.
        fs::permissions(file,
                        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                        fs::perm_options::add);
    }
}

// greet's versions, each a folder: one right, one that prints its input
// before the greeting (so it fails a case with input), one wrong.
void writeClass(const fs::path& folder) {
    write(folder / "right/greet", "#!/bin/sh\necho 'Hello World!'\n", true);
    write(folder / "echoes/greet", "#!/bin/sh\ncat\necho 'Hello World!'\n", true);
    write(folder / "wrong/greet", "#!/bin/sh\necho 'Hello'\n", true);
    fs::create_directories(folder / "empty");
}

// An instructor's cases for greet: one worth 3 points, and a hidden one
// worth 2 whose input only a version that prints it would show.
void writeCases(const fs::path& folder) {
    write(folder / "louder.in", "");
    write(folder / "louder.out", "Hello World!\n");
    write(folder / "points", "# case points\nlouder 3\n");
    write(folder / "hidden/secret.in", SECRET + "\n");
    write(folder / "hidden/secret.out", "Hello World!\n");
    write(folder / "hidden/points", "secret 2\n");
}

Checked checkIn(const fs::path& folder, std::vector<std::string> args,
                const std::vector<std::pair<std::string, std::string>>& environment = {}) {
    args.insert(args.begin(), {"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"", folder.string()});
    Command command(args);
    command.environment = environment;
    return checkedBy(command);
}

TEST(InstructorsCases, CountTheirPointsAndAHiddenCaseShowsNoInputInAnyFormat) {
    Scratch cases("cases"), folder("class");
    writeCases(cases.path);
    writeClass(folder.path);
    for (const char* format : FORMATS) {
        SCOPED_TRACE(format);
        const Checked each =
            checkIn(folder.path, {LESSONS_CHECK, "--cases", cases.path.string(), "--format", format,
                                  "greet", "--each", "right", "echoes"});
        EXPECT_EQ(each.status, 1) << each.output;
        EXPECT_EQ(each.output.find(SECRET), std::string::npos) << each.output;
        const Checked single = checkIn(folder.path, {LESSONS_CHECK, "--cases", cases.path.string(),
                                                     "--format", format, "greet", "echoes/greet"});
        EXPECT_EQ(single.status, 1) << single.output;
        EXPECT_EQ(single.output.find(SECRET), std::string::npos) << single.output;
    }
    const Checked human = checkIn(folder.path, {LESSONS_CHECK, "--cases", cases.path.string(),
                                                "greet", "--each", "right", "echoes"});
    EXPECT_NE(human.output.find("ok    right   3 passed, 0 failed, score 6 of 6\n"
                                "FAIL  echoes  2 passed, 1 failed, score 4 of 6\n"),
              std::string::npos)
        << human.output;
    EXPECT_NE(human.output.find("ok    louder  (3 points)\nFAIL  secret  (hidden, 2 points)\n"
                                "  a hidden case: only its verdict and points are shown\n"),
              std::string::npos)
        << human.output;
}

TEST(InstructorsCases, ACaseTheLessonFailsOrAFolderAmissIsRefusedBeforeAnyCheck) {
    Scratch cases("wrong-cases"), folder("class");
    writeClass(folder.path);
    write(folder.path / "report.json", "kept\n");
    write(cases.path / "hidden/comma.in", "");
    write(cases.path / "hidden/comma.out", "Hello, World!\n");
    const Checked wrong = checkIn(folder.path, {LESSONS_CHECK, "--output", "report.json", "--cases",
                                                cases.path.string(), "greet", "--each", "right"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(
        wrong.output.find("FAIL  comma\n  through a pipe, the output differs from the case's\n"
                          "    line 1:\n"
                          "      expected: \"Hello, World!\\n\"\n"
                          "      actual:   \"Hello World!\\n\"\n"),
        std::string::npos)
        << wrong.output;
    EXPECT_EQ(readFile(folder.path / "report.json"), "kept\n");
    // Each folder amiss, and the file that says so.
    const std::vector<std::vector<std::pair<std::string, std::string>>> amiss = {
        {{"points", "nosuchcase 2\n"}},
        {{"points", "louder many\n"}},
        {{"stray.out", "Hello World!\n"}},
        {{"output.in", ""}, {"output.out", "Hello World!\n"}}};  // greet's own case's name
    for (const auto& files : amiss) {
        Scratch odd("odd-cases");
        writeCases(odd.path);
        for (const auto& [file, text] : files) {
            write(odd.path / file, text);
        }
        const Checked refused = lessonsCheck({"--cases", odd.path.string(), "greet"});
        EXPECT_EQ(refused.status, 2) << refused.output;
        EXPECT_NE(refused.output.find(odd.path.string() + "/" + files[0].first), std::string::npos)
            << refused.output;
    }
    EXPECT_EQ(lessonsCheck({"--only-cases", folder.path.string() + "/empty", "greet"}).status, 2);
}

TEST(InstructorsCases, NoVersionReadsThemConfinedOrRunAsNobody) {
    Scratch cases("kept-cases"), folder("class");
    writeCases(cases.path);
    writeCases(folder.path / "mine");
    // Prints the cases if it can read them, and fails.
    write(folder.path / "peeks",
          "#!/bin/sh\n/bin/cat " + cases.path.string() + "/*.out " + cases.path.string() +
              "/hidden/* 2>/dev/null\necho 'Hello World!'\n",
          true);
    const std::vector<std::string> check = {LESSONS_CHECK, "--cases", cases.path.string(), "greet",
                                            (folder.path / "peeks").string()};
    const Checked confined = checkIn(folder.path, check);
    EXPECT_EQ(confined.status, 0) << confined.output;
    // Within the folder a version runs in, a copy of the cases is its own.
    std::vector<std::string> mine = check;
    mine[2] = "mine";
    const Checked within = checkIn(folder.path, mine);
    EXPECT_EQ(within.status, 2);
    EXPECT_NE(within.output.find("keep the cases outside it"), std::string::npos) << within.output;
    if (!std::string(LESSONS_BWRAP).empty()) {
        // Where no namespace can be made, run as the user who checks it.
        std::vector<std::string> unconfined = {
            LESSONS_BWRAP, "--unshare-user", "--disable-userns", "--bind", "/", "/", "--"};
        unconfined.insert(unconfined.end(), check.begin(), check.end());
        const Checked asUser = checkIn(folder.path, unconfined);
        EXPECT_EQ(asUser.status, 2);
        EXPECT_NE(asUser.output.find("hidden cases cannot be kept"), std::string::npos)
            << asUser.output;
    }
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root runs a version as nobody, where bubblewrap is not found";
    }
    const std::vector<std::pair<std::string, std::string>> noBubblewrap = {{"PATH", "/nowhere"}};
    const Checked readable = checkIn(folder.path, check, noBubblewrap);
    EXPECT_EQ(readable.status, 2);
    EXPECT_NE(readable.output.find("(chmod -R go-rwx " + cases.path.string() + ")"),
              std::string::npos)
        << readable.output;
    ASSERT_EQ(outputOf({"chmod", "-R", "go-rwx", cases.path.string()}).status, 0);
    const Checked asNobody = checkIn(folder.path, check, noBubblewrap);
    EXPECT_EQ(asNobody.status, 0) << asNobody.output;
    EXPECT_NE(asNobody.output.find("runs unconfined"), std::string::npos) << asNobody.output;
}

TEST(Output, FileGetsTheFormatAndStandardOutputTheHumanReport) {
    Scratch folder("class");
    writeClass(folder.path);
    const fs::path file = folder.path / "grades.csv";
    const Checked each = checkIn(folder.path, {LESSONS_CHECK, "--format", "csv", "--output",
                                               file.string(), "greet", "--each", "right", "wrong"});
    EXPECT_EQ(each.status, 1);
    EXPECT_EQ(splitLines(each.output).at(0), "ok    right  1 passed, 0 failed, score 1 of 1");
    EXPECT_EQ(readFile(file),
              "version,status,passed,failed,not run,score,out of\r\n"
              "right,pass,1,0,0,1,1\r\nwrong,fail,0,1,0,0,1\r\n");
    const Checked single = checkIn(folder.path, {LESSONS_CHECK, "--format", "json", "--output",
                                                 file.string(), "greet", "right/greet"});
    EXPECT_EQ(single.output,
              "greet: 1 case, against right/greet\nok    output\n"
              "1 passed, 0 failed, score 1 of 1\n");
    EXPECT_EQ(readFile(file).rfind("{\n  \"version\": 3,\n", 0), 0u) << readFile(file);
    const Checked unwritable =
        lessonsCheck({"--output", (folder.path / "none/x").string(), "greet"});
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_NE(unwritable.output.find("cannot write"), std::string::npos) << unwritable.output;
}

TEST(Shards, ThreeMergedGiveTheReportOfOneCheckInEveryFormatAndOnlyTheirOwn) {
    Scratch cases("cases"), folder("class");
    writeCases(cases.path);
    writeClass(folder.path);
    const std::vector<std::string> check = {
        LESSONS_CHECK, "--cases", cases.path.string(), "greet", "--each", "right", "echoes",
        "wrong",       "empty",   "right/greet"};
    std::vector<std::string> merge = {LESSONS_CHECK, "--merge"};
    for (const char* shard : {"1/3", "2/3", "3/3"}) {
        std::vector<std::string> args = check;
        args.insert(args.begin() + 1, {"--format", "json", "--shard", shard});
        const fs::path file = folder.path / ("shard-" + std::string(1, shard[0]) + ".json");
        write(file, checkIn(folder.path, args).output);
        merge.push_back(file.string());
    }
    for (const char* format : FORMATS) {
        SCOPED_TRACE(format);
        std::vector<std::string> one = check, merged = merge;
        one.insert(one.begin() + 1, {"--format", format});
        merged.insert(merged.begin() + 1, {"--format", format});
        const Checked whole = checkIn(folder.path, one), joined = outputOf(merged);
        EXPECT_EQ(joined.output, whole.output);
        EXPECT_EQ(joined.status, whole.status);
    }
    // Not one class: another lesson's shard, a shard interrupted, no JSON.
    const std::string text = readFile(merge.back());
    write(folder.path / "discs.json",
          std::regex_replace(text, std::regex("\"greet\""), "\"discs\""));
    write(folder.path / "cut.json",
          std::regex_replace(text, std::regex("\"interrupted\": false"), "\"interrupted\": true"));
    for (const char* odd : {"discs.json", "cut.json", "right/greet"}) {
        const Checked refused =
            outputOf({LESSONS_CHECK, "--merge", merge[2], (folder.path / odd).string()});
        EXPECT_EQ(refused.status, 2) << refused.output;
        EXPECT_NE(refused.output.find("lessons-check: " + (folder.path / odd).string()),
                  std::string::npos)
            << refused.output;
    }
}

// Gradescope's folders, as its autograder has them: the zip unpacked in
// source/, the submission in submission/.
TEST(Engines, GradescopesRunAutograderWritesResultsItsDocumentedFieldsAccept) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    Scratch root("autograder");
    const fs::path source = root.path / "source", examples = LESSONS_SOURCE_DIR "/examples";
    fs::create_directories(source);
    for (const char* script : {"setup.sh", "run_autograder"}) {
        fs::copy_file(examples / "gradescope" / script, source / script);
    }
    write(source / "console-lessons_1.0.0_amd64.deb", "");
    writeCases(source / "cases");
    write(root.path / "apt-get", "#!/bin/sh\necho \"$@\" >> \"$0.log\"\n", true);
    const Checked setup =
        checkIn(root.path, {"sh", (source / "setup.sh").string()},
                {{"SOURCE", source.string()}, {"APT_GET", (root.path / "apt-get").string()}});
    ASSERT_EQ(setup.status, 0) << setup.output;
    EXPECT_EQ(readFile(root.path / "apt-get.log"),
              "update\ninstall -y " + (source / "console-lessons_1.0.0_amd64.deb").string() + "\n");
    struct stat secret {};
    ASSERT_EQ(stat((source / "cases/hidden/secret.in").c_str(), &secret), 0);
    EXPECT_EQ(secret.st_mode & 077, 0u);
    // A right submission, one without a version, and a lesson that is none.
    for (const auto& [lesson, program, score] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"greet", "#!/bin/sh\necho 'Hello World!'\n", "6 6\n"},
             {"greet", "", "0 6\n"},
             {"nolesson", "", "0 0\n"}}) {
        fs::remove_all(root.path / "submission");
        fs::create_directories(root.path / "submission");
        if (!program.empty()) {
            write(root.path / "submission/greet", program, true);
        }
        const Checked graded = checkIn(root.path, {"sh", (source / "run_autograder").string()},
                                       {{"AUTOGRADER", root.path.string()},
                                        {"LESSONS_CHECK", LESSONS_CHECK},
                                        {"LESSON", lesson}});
        EXPECT_EQ(graded.status, 0) << graded.output;
        const fs::path results = root.path / "results/results.json";
        const Checked valid =
            outputOf({LESSONS_PYTHON, testFile("gradescope_results.py"), results.string()});
        EXPECT_EQ(valid.output, score) << readFile(results);
        EXPECT_EQ(readFile(results).find(SECRET), std::string::npos);
    }
}

TEST(Engines, GithubClassroomWorkflowParsesAndFailsTheJobOnAFailedCase) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    Scratch repository("repository");
    const Checked steps =
        outputOf({LESSONS_PYTHON, testFile("workflow_steps.py"),
                  LESSONS_SOURCE_DIR "/examples/github-classroom/lessons-check.yml"});
    ASSERT_EQ(steps.status, 0) << steps.output;
    // Each step's commands in a script of its own; the last runs the check.
    write(repository.path / "steps.json", steps.output);
    write(repository.path / "steps.py",
          "import json\nsteps = json.load(open('steps.json'))['steps']\n"
          "for i, step in enumerate(steps):\n    open(f'step-{i}.sh', 'w').write(step['run'])\n"
          "print(len(steps))\n");
    const Checked count = checkIn(repository.path, {LESSONS_PYTHON, "steps.py"});
    ASSERT_EQ(count.status, 0) << count.output;
    const int last = std::stoi(count.output) - 1;
    for (int i = 0; i <= last; ++i) {
        EXPECT_EQ(
            checkIn(repository.path, {"bash", "-n", "step-" + std::to_string(i) + ".sh"}).status,
            0);
    }
    const std::vector<std::pair<std::string, std::string>> runner = {
        {"PATH", fs::path(LESSONS_CHECK).parent_path().string() + ":/usr/bin:/bin"},
        {"LESSON", "greet"},
        {"RUNNER_TEMP", repository.path.string()}};
    for (const auto& [greeting, status] : {std::pair<std::string, int>{"Hello World!", 0},
                                           std::pair<std::string, int>{"Hello", 1}}) {
        write(repository.path / "greet.py", "print('" + greeting + "')\n");
        const Checked job = checkIn(repository.path,
                                    {"bash", "-e", "step-" + std::to_string(last) + ".sh"}, runner);
        EXPECT_EQ(job.status, status) << job.output;
        if (std::string(LESSONS_XMLLINT).empty()) {
            continue;
        }
        EXPECT_EQ(outputOf({LESSONS_XMLLINT, "--noout", "--schema", testFile("junit-10.xsd"),
                            (repository.path / "lessons-check.xml").string()})
                      .status,
                  0);
    }
}

// Every command the README shows of a class, from "Check your own
// version" to the end of "Grading a course", run in order in a folder that
// holds the class it names, prints what the README shows, as it would once
// installed.
TEST(Readme, GradingACourseShowsWhatEachCommandPrints) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    const std::string readme = readFile(LESSONS_SOURCE_DIR "/README.md");
    const std::size_t from = readme.find("## Check your own version\n");
    ASSERT_NE(from, std::string::npos);
    const std::vector<std::string> lines =
        splitLines(readme.substr(from, readme.find("\n## ", from + 1) - from));
    Scratch folder("readme");
    write(folder.path / "class/ana/cosprint", "#!/bin/sh\nprintf '%s' -0.59846\n", true);
    write(folder.path / "class/ben/cosprint.py",
          "import math, sys\nsys.stdout.write('%g' % math.cos(180))\n");
    fs::create_directories(folder.path / "class/cem");
    fs::copy_file(learner("cosprint-degrees"), folder.path / "class/cem/cosprint");
    const std::string bin = fs::path(LESSONS_CHECK).parent_path().string();
    const std::vector<std::pair<std::string, std::string>> installed = {
        {fs::path(bin).parent_path().string() + "/share/console-lessons/",
         "/usr/share/console-lessons/"},
        {bin + "/", "/usr/bin/"},
        {"\r", ""}};
    std::string command, shown;
    int commands = 0;
    const auto run = [&] {
        Checked ran =
            checkIn(folder.path, {"/bin/sh", "-c", command},
                    {{"PATH", bin + ":" + fs::path(LESSONS_PYTHON).parent_path().string() +
                                  ":/usr/bin:/bin"}});
        for (const auto& [path, as] : installed) {
            ran.output = std::regex_replace(ran.output, std::regex(path), as);
        }
        EXPECT_EQ(ran.output, shown) << command;
        ++commands;
    };
    bool inBlock = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool commandLine = inBlock && lines[i].rfind("$ ", 0) == 0;
        if (inBlock && (commandLine || lines[i] == "```") && !command.empty()) {
            run();
            command.clear();
            shown.clear();
        }
        if (lines[i] == "```console") {
            // Blocks of other checks, or of commands alone, are not the class's.
            inBlock = lines.at(i - 1) == "<!-- check: grading -->";
        } else if (lines[i] == "```") {
            inBlock = false;
        } else if (commandLine) {
            command = std::regex_replace(lines[i].substr(2),
                                         std::regex("/usr/share/doc/console-lessons/examples"),
                                         LESSONS_SOURCE_DIR "/examples");
        } else if (inBlock) {
            shown += lines[i] + "\n";
        }
    }
    EXPECT_GE(commands, 20);
}

}  // namespace

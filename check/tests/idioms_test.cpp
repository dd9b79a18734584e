// lessons-check on versions as first-year students write them: C++, C and
// Java sources it builds itself, Python's input() and Node's readline at a
// terminal, a Makefile that builds, and Python from a venv or behind a
// pyenv shim in the user's home.  A right one passes every case, at the
// terminal and through a pipe; a wrong one gets one clear message.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "CheckerTests.h"
#include "cases/ExpectedText.h"

namespace {

namespace fs = std::filesystem;

// Each idiom a folder of the class, as an instructor gathers hand-ins.
struct Idiom {
    std::string folder;
    std::vector<std::pair<std::string, std::string>> files;  // learner's file, name in the folder
    bool needs;                                              // its tools are installed
};

std::vector<Idiom> idiomsOf(const std::string& lesson, const std::string& javaClass) {
    const bool node = std::string(LESSONS_NODE) != "";
    const bool java = std::string(LESSONS_JAVAC) != "" && std::string(LESSONS_JAVA) != "";
    return {
        {"cpp", {{lesson + ".cpp", lesson + ".cpp"}}, true},
        {"c", {{lesson + ".c", lesson + ".c"}}, true},
        {"java", {{javaClass + ".java", javaClass + ".java"}}, java},
        {"python-input", {{lesson + "-input.py", lesson + ".py"}}, true},
        {"node-readline", {{lesson + "-readline.js", lesson + ".js"}}, node},
        {"make-builds", {{lesson + ".c", lesson + ".c"}, {"Makefile.build", "Makefile"}}, true},
    };
}

// The class's lines, one a version: "ok    <folder>  13 passed, ...".
void expectClassPasses(const std::string& lesson, const std::string& javaClass) {
    const Scratch folder("idioms-" + lesson);
    // Right versions end long before any timeout; a JVM started while CI's
    // other jobs hold both processors may still take seconds to end.
    std::vector<std::string> args = {"--timeout", "20", lesson, "--each"};
    for (const Idiom& idiom : idiomsOf(lesson, javaClass)) {
        if (!idiom.needs) {
            std::cout << "left out, as its tools are not installed: " << idiom.folder << "\n";
            continue;
        }
        for (const auto& [from, name] : idiom.files) {
            folder.copy(learnerSource(from), idiom.folder + "/" + name);
        }
        args.push_back((folder.path / idiom.folder).string() + "/");
    }
    const Checked checked = lessonsCheck(args);
    EXPECT_EQ(checked.status, 0) << checked.output;
    const std::vector<std::string> lines = splitLines(checked.output);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.rfind("ok    ", 0) == 0; }),
              static_cast<long>(args.size() - 4))
        << checked.output;
}

TEST(Idioms, RightVersionsPassAsStudentsWriteThem) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    expectClassPasses("heatprompt", "Heat");
    expectClassPasses("statusask", "Status");
}

TEST(Idioms, ASourceThatDoesNotBuildIsAnErrorWithTheCompilersWords) {
    const Scratch folder("broken");
    const std::string source = folder.copy(learnerSource("heatprompt-broken.cpp"), "heat.cpp");
    const Checked checked = lessonsCheck({"heatprompt", source});
    EXPECT_EQ(checked.status, 2) << checked.output;
    EXPECT_NE(checked.output.find("its sources did not build: g++ exited with status 1"),
              std::string::npos)
        << checked.output;
    EXPECT_NE(
        checked.output.find("  \"./heat.cpp:7:17: error: 'temprature' was not declared in this "
                            "scope; did you mean 'temperature'?\"\n"),
        std::string::npos)
        << checked.output;
    // The build wrote nothing into the folder.
    EXPECT_EQ(folder.files(), std::vector<std::string>{"heat.cpp"});
}

// A user's home as pyenv and a venv leave it, with a key that must stay
// out of sight: the pyenv version and the venv are Python's own, made by
// `python3 -m venv`.
struct PythonHome {
    PythonHome() : home("python-home") {
        const std::string python = LESSONS_PYTHON;
        EXPECT_EQ(outputOf({python, "-m", "venv", "--without-pip", venv()}).status, 0);
        EXPECT_EQ(
            outputOf({python, "-m", "venv", "--without-pip", pyenv() + "/versions/3.9.9"}).status,
            0);
        home.put(".pyenv/version", "3.9.9\n");
        home.put(".pyenv/libexec/pyenv", "#!/bin/sh\nexit 1\n");
        const std::string shim = home.put(".pyenv/shims/python3",
                                          "#!/usr/bin/env bash\nset -e\nprogram=\"${0##*/}\"\n"
                                          "export PYENV_ROOT=\"" +
                                              pyenv() + "\"\nexec \"" + pyenv() +
                                              "/libexec/pyenv\" exec \"$program\" \"$@\"\n");
        fs::permissions(shim, fs::perms::owner_all);
        fs::permissions(pyenv() + "/libexec/pyenv", fs::perms::owner_all);
        // A package of the venv's own, which a version imports.
        for (const auto& entry : fs::directory_iterator(venv() + "/lib")) {
            home.put(fs::path(entry.path()).lexically_relative(home.path).string() +
                         "/site-packages/heatrules.py",
                     "PROMPT = \"Enter Machine Temperature: \"\n");
        }
        home.put(".ssh/id_rsa", "the user's key\n");
    }

    std::string venv() const { return (home.path / "venv").string(); }
    std::string pyenv() const { return (home.path / ".pyenv").string(); }

    // lessons-check run in the folder with this home, the shims first on PATH.
    Checked check(const Scratch& folder, const std::vector<std::string>& args) const {
        std::vector<std::string> command = {"sh", "-c", "cd \"$0\" && exec \"$@\"",
                                            folder.path.string(), LESSONS_CHECK};
        command.insert(command.end(), args.begin(), args.end());
        Command run(command);
        run.environment = {{"HOME", home.path.string()},
                           {"PATH", pyenv() + "/shims:/usr/bin:/bin"},
                           {"PYENV_VERSION", ""}};
        return checkedBy(run);
    }

    Scratch home;
};

TEST(Idioms, InterpretersInTheHomeAreShownAndNothingElseOfIt) {
    ASSERT_STRNE(LESSONS_PYTHON, "") << "python3 is not installed";
    const PythonHome python;
    const Scratch folder("python-class");
    const std::string right = readFile(learnerSource("heatprompt-input.py"));
    folder.put("plain.py", right);
    folder.put("venv.py", "import heatrules\n" +
                              std::regex_replace(
                                  right, std::regex("input\\(\"Enter Machine Temperature: \"\\)"),
                                  "input(heatrules.PROMPT)"));
    const std::string shebang = folder.put(
        "shebang", "#!" + python.venv() + "/bin/python3\n" + readFile(folder.path / "venv.py"));
    fs::permissions(shebang, fs::perms::owner_all);
    folder.copy(folder.path / "plain.py", "k/heatprompt.py");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"heatprompt", "python3", "plain.py"},
          {"heatprompt", "plain.py"},
          {"heatprompt", python.venv() + "/bin/python3", "venv.py"},
          {"heatprompt", "./shebang"},
          {"heatprompt", "--each", (folder.path / "k").string()}}) {
        SCOPED_TRACE(testing::PrintToString(args));
        const Checked checked = python.check(folder, args);
        EXPECT_EQ(checked.status, 0) << checked.output;
    }
    // The rest of the home stays out of sight.
    const Checked looked = python.check(
        folder, {"greet", "python3", "-c",
                 "import os; print(sorted(os.listdir('" + python.home.path.string() + "')))"});
    EXPECT_NE(looked.output.find("actual:   \"['.pyenv']\\n\""), std::string::npos)
        << looked.output;
}

}  // namespace

// What a check keeps and what it copies: the lesson's waits kept between
// checks in the user's cache, for that program and those cases only; a
// version's files copied without the lessons' own, whatever they are named;
// and a copy of a program found among them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sandbox/Staging.h"
#include "verdict/KeptWaits.h"
#include "verdict/OwnCopies.h"

namespace fs = std::filesystem;

namespace {

void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A lesson of two cases and its program, with the cache in a folder of the
// test's own.
class KeptWaitsTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root);
        setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
        write(program, "#!/bin/sh\n");
        lesson.name = "ask";
        lesson.waitTexts = {"Name: "};
        for (const char* const name : {"one", "two"}) {
            write(root / "cases" / (std::string(name) + ".in"), std::string(name) + "\n");
            write(root / "cases" / (std::string(name) + ".out"),
                  "Name: Hello " + std::string(name));
            lesson.cases.push_back({name, root / "cases" / (std::string(name) + ".in"),
                                    root / "cases" / (std::string(name) + ".out")});
        }
    }
    void TearDown() override {
        unsetenv("XDG_CACHE_HOME");
        fs::remove_all(root);
    }
    void keepBoth() {
        KeptWaits kept(lesson, program);
        kept.keep(lesson.cases[0], {{6}});
        kept.keep(lesson.cases[1], {{6, 15}});
        kept.save();
    }
    std::vector<std::size_t> found(const Case& lessonCase) const {
        LessonWaits waits;
        return KeptWaits(lesson, program).find(lessonCase, waits) ? waits.at
                                                                  : std::vector<std::size_t>{99};
    }

    const fs::path root = fs::temp_directory_path() / ("keeping-" + std::to_string(getpid()));
    const fs::path program = root / "bin/ask";
    Lesson lesson;
};

TEST_F(KeptWaitsTest, ComeBackForTheSameProgramAndCasesOnly) {
    keepBoth();
    EXPECT_EQ(found(lesson.cases[0]), std::vector<std::size_t>{6});
    EXPECT_EQ(found(lesson.cases[1]), (std::vector<std::size_t>{6, 15}));
    // A case whose expected output changed is learned again.
    write(lesson.cases[0].expected, "Name: Hi one");
    EXPECT_EQ(found(lesson.cases[0]), std::vector<std::size_t>{99});
    EXPECT_EQ(found(lesson.cases[1]), (std::vector<std::size_t>{6, 15}));
    // So is every case once the program is rebuilt, or its prompts change.
    write(program, "#!/bin/sh\n# rebuilt\n");
    EXPECT_EQ(found(lesson.cases[1]), std::vector<std::size_t>{99});
    keepBoth();
    lesson.waitTexts = {"Your name: "};
    EXPECT_EQ(found(lesson.cases[1]), std::vector<std::size_t>{99});
}

TEST_F(KeptWaitsTest, AFileThatDoesNotFitIsNotUsedAndIsReplacedWhole) {
    keepBoth();
    ASSERT_EQ(std::distance(fs::directory_iterator(root / "cache/lessons-check"), {}), 1);
    const fs::path file = fs::directory_iterator(root / "cache/lessons-check")->path();
    EXPECT_EQ(file.filename().string().rfind("waits-ask-", 0), 0u) << file;
    const std::string kept = read(file);
    // Waits past the output's end, or out of order, cannot be the lesson's.
    const std::string key = kept.substr(0, kept.find('\n') + 1);
    const std::size_t two = kept.find(" 6 15\n");
    ASSERT_NE(two, std::string::npos) << kept;
    const std::size_t lineStart = kept.rfind('\n', two) + 1;
    const std::string twoKey = kept.substr(lineStart, two - lineStart);
    write(file, key + twoKey + " 6 15\n");
    EXPECT_EQ(found(lesson.cases[1]), (std::vector<std::size_t>{6, 15}));
    write(file, key + twoKey + " 6 400\n");
    EXPECT_EQ(found(lesson.cases[1]), std::vector<std::size_t>{99});
    write(file, key + twoKey + " 15 6\n");
    EXPECT_EQ(found(lesson.cases[1]), std::vector<std::size_t>{99});
    // Saving writes the file anew, with no file of its own left beside it.
    keepBoth();
    EXPECT_EQ(read(file), kept);
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1);
}

TEST(Staging, CopiesLeaveOutWhatTheyAreToldWhateverItIsNamed) {
    const fs::path root = fs::temp_directory_path() / ("staged-" + std::to_string(getpid()));
    write(root / "version/own.py", "print('mine')\n");
    write(root / "version/cases/one.out", "expected\n");
    write(root / "version/tools/program", "the lesson's own\n");
    fs::create_hard_link(root / "version/tools/program", root / "version/renamed");
    Staging staging;
    staging.leaveOut(
        {(root / "version/cases").string(), (root / "version/tools/program").string()});
    const fs::path copy = staging.copyFolder(root / "version");
    EXPECT_EQ(read(copy / "own.py"), "print('mine')\n");
    EXPECT_FALSE(fs::exists(copy / "cases"));
    EXPECT_FALSE(fs::exists(copy / "tools/program"));
    EXPECT_FALSE(fs::exists(copy / "renamed"));
    EXPECT_TRUE(fs::is_directory(copy / "tools"));
    // A folder of more entries than a copy holds is refused whole.
    for (std::size_t i = 0; i <= Staging::MOST_ENTRIES; ++i) {
        std::ofstream(root / "version" / ("f" + std::to_string(i)));
    }
    EXPECT_THROW(staging.copyFolder(root / "version"), TooLarge);
    fs::remove_all(root);
}

// A program (here /bin/true) found among a version's files however it was
// copied: as it is, under another name, with bytes added, with its data
// changed; another program and a script are not it.
TEST(OwnCopies, AProgramIsFoundUnderAnyNameWithBytesAddedOrItsDataChanged) {
    const fs::path root = fs::temp_directory_path() / ("copies-" + std::to_string(getpid()));
    const std::string program = read("/bin/true");
    ASSERT_GT(program.size(), 1000u);
    write(root / "renamed", program);
    write(root / "added", program + "\n");
    // A byte of the file's last part, past the code, changed.
    std::string changed = program;
    changed[changed.size() - 100] ^= 1;
    write(root / "changed", changed);
    write(root / "other", read("/bin/ls"));
    write(root / "script", "#!/bin/sh\nexec /bin/true\n");
    const auto found = [&](const char* name) {
        return copyOfProgram({{name, root / name}}, "/bin/true") == name;
    };
    EXPECT_TRUE(found("renamed"));
    EXPECT_TRUE(found("added"));
    EXPECT_TRUE(found("changed"));
    EXPECT_FALSE(found("other"));
    EXPECT_FALSE(found("script"));
    EXPECT_EQ(copyOfProgram({{"script", root / "script"}, {"added", root / "added"}}, "/bin/true"),
              "added");
    fs::remove_all(root);
}

}  // namespace

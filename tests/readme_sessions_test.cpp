// The README's catalogue has an entry for every program: a heading with the
// program's name and the summary its manual page gives in NAME,
//     #### `discs` — measure a circle and compare a second one with it
// followed by a console block that shows the same transcript case as the
// page's example: the command that types the case's input, then what the
// program prints (or an excerpt, where "..." stands for lines left out).
// These tests fail as soon as the README, a manual page and a case drift
// apart, or a program has no entry.

#include <gtest/gtest.h>

#include "ManualPages.h"

namespace {

struct Entry {
    std::string summary;
    std::vector<std::string> block;  // the command, then the printed lines
};

// Every catalogue entry: its heading, and the fenced block right after it.
std::map<std::string, std::vector<Entry>> readCatalogue() {
    static const std::regex entry(
        "\n#### `([a-z]+)` — ([^\n]*)\n(```console\n((?:[^\n]*\n)*?)```)?");
    const std::string readme = readFile(LESSONS_SOURCE_DIR "/README.md");
    std::map<std::string, std::vector<Entry>> entries;
    for (std::sregex_iterator at(readme.begin(), readme.end(), entry), end; at != end; ++at) {
        entries[(*at)[1]].push_back({(*at)[2], splitLines((*at)[4])});
    }
    return entries;
}

TEST(Readme, EveryProgramHasOneEntryShowingItsManualPagesSession) {
    const std::vector<Program> programs = readProgramList();
    ASSERT_EQ(programs.size(), 29u);
    std::map<std::string, std::vector<Entry>> catalogue = readCatalogue();
    for (const Program& program : programs) {
        SCOPED_TRACE(program.name);
        ASSERT_EQ(catalogue[program.name].size(), 1u) << "entries in the README";
        const Entry& entry = catalogue[program.name].front();
        Page page = readPage(program.name);
        const std::string casePath = exampleOf(page).first;
        ASSERT_FALSE(casePath.empty()) << "the manual page names no session";
        EXPECT_EQ(entry.summary, summaryOf(page, program.name));
        EXPECT_EQ(sessionMismatch(entry.block, program, casePath), "");
    }
    EXPECT_EQ(catalogue.size(), programs.size()) << "an entry without a program";
}

}  // namespace

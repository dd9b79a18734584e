// The README's catalogue has an entry for every program: a heading with the
// program's name and the summary its manual page gives in NAME,
//     #### `discs` — measure a circle and compare a second one with it
// followed by a console block that shows the same transcript case as the
// page's example: the command that types the case's input, then what the
// program prints (or an excerpt, where "..." stands for lines left out).
// These tests fail as soon as the README, a manual page and a case drift
// apart, or a program has no entry.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "SessionCommand.h"

namespace fs = std::filesystem;

namespace {

const fs::path sourceDir = LESSONS_SOURCE_DIR;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Entry {
    std::string summary;
    std::vector<std::string> block;  // the command, then the printed lines
};

// Reads every catalogue entry: its heading and the fenced block after it.
std::map<std::string, std::vector<Entry>> readCatalogue() {
    const std::regex heading("#### `([a-z]+)` — (.*)");
    const std::vector<std::string> lines = session::splitLines(readFile(sourceDir / "README.md"));
    std::map<std::string, std::vector<Entry>> entries;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch found;
        if (!std::regex_match(lines[i], found, heading)) {
            continue;
        }
        Entry entry{found[2], {}};
        if (i + 1 < lines.size() && lines[i + 1] == "```console") {
            for (i += 2; i < lines.size() && lines[i] != "```"; ++i) {
                entry.block.push_back(lines[i]);
            }
        }
        entries[found[1]].push_back(entry);
    }
    return entries;
}

struct Page {
    std::string summary;
    std::string casePath;  // relative to the source tree, without extension
};

Page readPage(const std::string& program) {
    for (const char* section : {".1", ".6"}) {
        const fs::path path = sourceDir / "man" / (program + section);
        if (!fs::exists(path)) {
            continue;
        }
        const std::string text = readFile(path);
        std::smatch found;
        Page page;
        if (std::regex_search(text, found, std::regex("\\.SH NAME\n[a-z]+ \\\\- ([^\n]*)"))) {
            page.summary = found[1];
        }
        if (std::regex_search(text, found, std::regex("\\.\\\\\" session: (\\S+)"))) {
            page.casePath = found[1];
        }
        return page;
    }
    return {};
}

struct Program {
    std::string name;
    std::string stoppedClock;
};

std::vector<Program> readProgramList() {
    std::vector<Program> programs;
    for (const std::string& line : session::splitLines(readFile(LESSONS_PROGRAM_LIST))) {
        std::istringstream fields(line);
        std::string folder;
        Program program;
        std::getline(fields, program.name, '\t');
        std::getline(fields, folder, '\t');
        std::getline(fields, program.stoppedClock);
        programs.push_back(program);
    }
    return programs;
}

TEST(Readme, EveryProgramHasOneEntryShowingItsManualPagesSession) {
    const std::vector<Program> programs = readProgramList();
    ASSERT_EQ(programs.size(), 29u);
    std::map<std::string, std::vector<Entry>> catalogue = readCatalogue();
    for (const Program& program : programs) {
        SCOPED_TRACE(program.name);
        ASSERT_EQ(catalogue[program.name].size(), 1u) << "entries in the README";
        const Entry& entry = catalogue[program.name].front();
        const Page page = readPage(program.name);
        ASSERT_FALSE(page.casePath.empty()) << "the manual page names no session";
        EXPECT_EQ(entry.summary, page.summary);

        ASSERT_FALSE(entry.block.empty()) << "no console block after the heading";
        const std::string typed = readFile(sourceDir / (page.casePath + ".in"));
        EXPECT_EQ(entry.block.front(),
                  session::shellCommand(program.name, typed, program.stoppedClock));

        const fs::path exact = sourceDir / (page.casePath + ".out");
        const bool placeholders = !fs::exists(exact);
        const std::string expected =
            readFile(placeholders ? sourceDir / (page.casePath + ".match") : exact);
        const std::vector<std::string> shown(entry.block.begin() + 1, entry.block.end());
        EXPECT_EQ(session::excerptMismatch(shown, expected, placeholders), "");
    }
    EXPECT_EQ(catalogue.size(), programs.size()) << "an entry without a program";
}

}  // namespace

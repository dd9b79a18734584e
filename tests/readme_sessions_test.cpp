// The README's catalogue shows a session for every program.  Each session is
// tied to a transcript case by a marker line
//     <!-- session: geometry/tests/discs/inside -->
// followed by two fenced blocks: what is typed (the case's .in file) and what
// the program prints (its .out or .match file).  These tests fail as soon as
// the README and the cases drift apart, or a program has no entry.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path sourceDir = LESSONS_SOURCE_DIR;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> readLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

struct Session {
    std::string casePath;  // relative to the source tree, without extension
    std::string program;   // the entry it stands under
    std::vector<std::string> blocks;
};

// A program's entry is headed "#### `name`"; any other heading ends it.
std::string programOfHeading(const std::string& heading) {
    const std::string open = "#### `";
    if (heading.rfind(open, 0) != 0 || heading.back() != '`') {
        return "";
    }
    return heading.substr(open.size(), heading.size() - open.size() - 1);
}

bool isFence(const std::string& line) {
    return line.rfind("```", 0) == 0;
}

// Reads every session marker with the two fenced blocks that follow it.
std::vector<Session> readSessions(const std::vector<std::string>& readme) {
    const std::string marker = "<!-- session: ";
    std::vector<Session> sessions;
    std::string program;
    for (std::size_t i = 0; i < readme.size(); ++i) {
        const std::string& line = readme[i];
        if (line.rfind("#", 0) == 0) {
            program = programOfHeading(line);
        }
        if (line.rfind(marker, 0) != 0) {
            continue;
        }
        Session session;
        session.program = program;
        session.casePath = line.substr(marker.size(), line.find(" -->") - marker.size());
        std::size_t j = i + 1;
        while (session.blocks.size() < 2 && j < readme.size()) {
            if (!isFence(readme[j++])) {
                continue;
            }
            std::string block;
            bool first = true;
            for (; j < readme.size() && !isFence(readme[j]); ++j) {
                block += (first ? "" : "\n") + readme[j];
                first = false;
            }
            ++j;  // the closing fence
            session.blocks.push_back(block);
        }
        sessions.push_back(session);
    }
    return sessions;
}

// A fenced block cannot show whether the text ends in a newline, so one final
// newline of the file is not part of the comparison.
std::string asShownInBlock(std::string fileText) {
    if (!fileText.empty() && fileText.back() == '\n') {
        fileText.pop_back();
    }
    return fileText;
}

fs::path expectedOutputOf(const std::string& casePath) {
    fs::path exact = sourceDir / (casePath + ".out");
    return fs::exists(exact) ? exact : sourceDir / (casePath + ".match");
}

TEST(ReadmeSessions, EverySessionShowsItsCaseExactly) {
    std::vector<Session> sessions = readSessions(readLines(sourceDir / "README.md"));
    ASSERT_FALSE(sessions.empty());
    for (const Session& session : sessions) {
        SCOPED_TRACE("session " + session.casePath);
        fs::path input = sourceDir / (session.casePath + ".in");
        fs::path output = expectedOutputOf(session.casePath);
        ASSERT_TRUE(fs::exists(input)) << input;
        ASSERT_TRUE(fs::exists(output)) << output;
        ASSERT_EQ(session.blocks.size(), 2u) << "a session needs a typed and a printed block";
        EXPECT_EQ(session.blocks[0], asShownInBlock(readFile(input)));
        EXPECT_EQ(session.blocks[1], asShownInBlock(readFile(output)));
        EXPECT_NE(session.casePath.find("/tests/" + session.program + "/"), std::string::npos)
            << "the session stands under the entry of " << session.program;
    }
}

TEST(ReadmeSessions, EveryProgramHasAnEntryWithASession) {
    std::vector<std::string> programs = readLines(LESSONS_PROGRAM_LIST);
    ASSERT_FALSE(programs.empty());
    std::map<std::string, int> sessionsPerProgram;
    for (const Session& session : readSessions(readLines(sourceDir / "README.md"))) {
        ++sessionsPerProgram[session.program];
    }
    for (const std::string& line : programs) {
        const std::string program = line.substr(0, line.find('\t'));
        if (!program.empty()) {
            EXPECT_GT(sessionsPerProgram[program], 0) << program << " has no session in the README";
        }
    }
}

}  // namespace

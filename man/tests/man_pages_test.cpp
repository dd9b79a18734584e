// Every program has a manual page, and every page tells the truth about its
// program: the page is named after the program, holds the usual sections in
// the usual order, shows as its example a transcript case of the program (the
// command that types the case's input, then the case's output or an excerpt
// of it), and points to the other programs of its folder.  The case that a
// page shows is named by a comment right before the example,
//     .\" session: geometry/tests/discs/inside

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "SessionCommand.h"

namespace fs = std::filesystem;

namespace {

const fs::path sourceDir = LESSONS_SOURCE_DIR;
const fs::path pageDir = sourceDir / "man";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Program {
    std::string name;
    std::string folder;
    std::string stoppedClock;
};

// The build's list of programs, one a line: name, folder and stopped clock,
// separated by tabs.
std::vector<Program> readProgramList() {
    std::vector<Program> programs;
    for (const std::string& line : session::splitLines(readFile(LESSONS_PROGRAM_LIST))) {
        std::istringstream fields(line);
        Program program;
        std::getline(fields, program.name, '\t');
        std::getline(fields, program.folder, '\t');
        std::getline(fields, program.stoppedClock);
        if (!program.name.empty()) {
            programs.push_back(program);
        }
    }
    return programs;
}

// Games go to section 6, everything else to section 1.
std::string sectionOf(const std::string& program) {
    return program == "twentyone" ? "6" : "1";
}

fs::path pageOf(const std::string& program) {
    return pageDir / (program + "." + sectionOf(program));
}

// A page as the tests read it: the .TH line, and the lines under each .SH
// heading, in order.
struct Page {
    std::string title;
    std::vector<std::string> headings;
    std::map<std::string, std::vector<std::string>> sections;
};

Page readPage(const fs::path& path) {
    Page page;
    std::vector<std::string>* body = nullptr;
    for (const std::string& line : session::splitLines(readFile(path))) {
        if (line.rfind(".TH ", 0) == 0) {
            page.title = line;
        } else if (line.rfind(".SH ", 0) == 0) {
            std::string heading = line.substr(4);
            if (heading.size() > 1 && heading.front() == '"' && heading.back() == '"') {
                heading = heading.substr(1, heading.size() - 2);
            }
            page.headings.push_back(heading);
            body = &page.sections[heading];
        } else if (body != nullptr) {
            body->push_back(line);
        }
    }
    return page;
}

// The words of a request line; a word in double quotes may hold blanks.
std::vector<std::string> requestWords(const std::string& line) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < line.size()) {
        if (line[at] == ' ') {
            ++at;
        } else if (line[at] == '"') {
            std::size_t end = line.find('"', at + 1);
            words.push_back(line.substr(at + 1, end - at - 1));
            at = end == std::string::npos ? line.size() : end + 1;
        } else {
            std::size_t end = line.find(' ', at);
            words.push_back(line.substr(at, end - at));
            at = end == std::string::npos ? line.size() : end;
        }
    }
    return words;
}

// The characters that a line of roff text inside .EX stands for.  Only the
// escapes that the pages use are known; any other escape, a line that roff
// would take for a request, and a character that a formatter may print as
// another glyph (a hyphen or a curly quote for - and ', say) instead of
// its escape leave the line unreadable (false).
bool unescapeRoff(const std::string& line, std::string& text) {
    static const std::map<std::string, std::string> escapes = {
        {"\\e", "\\"},  {"\\-", "-"},   {"\\&", ""},    {"\\(aq", "'"},
        {"\\(ga", "`"}, {"\\(ha", "^"}, {"\\(ti", "~"},
    };
    if (!line.empty() && (line[0] == '.' || line[0] == '\'')) {
        return false;
    }
    text.clear();
    std::size_t at = 0;
    while (at < line.size()) {
        if (std::string("-'`^~").find(line[at]) != std::string::npos) {
            return false;
        }
        if (line[at] != '\\') {
            text += line[at++];
            continue;
        }
        bool known = false;
        for (const auto& [escape, meaning] : escapes) {
            if (line.compare(at, escape.size(), escape) == 0) {
                text += meaning;
                at += escape.size();
                known = true;
                break;
            }
        }
        if (!known) {
            return false;
        }
    }
    return true;
}

TEST(ManualPages, EveryProgramHasOnePageAndEveryPageAProgram) {
    std::vector<Program> programs = readProgramList();
    ASSERT_FALSE(programs.empty());
    std::set<std::string> expectedPages;
    for (const Program& program : programs) {
        expectedPages.insert(pageOf(program.name).filename().string());
    }
    std::set<std::string> pages;
    for (const fs::directory_entry& entry : fs::directory_iterator(pageDir)) {
        std::string name = entry.path().filename().string();
        if (std::regex_match(name, std::regex(".*\\.[1-9]"))) {
            pages.insert(name);
        }
    }
    EXPECT_EQ(pages, expectedPages);
}

TEST(ManualPages, EveryPageHoldsItsSectionsInOrder) {
    const std::vector<std::string> order = {"NAME",    "SYNOPSIS",    "DESCRIPTION",
                                            "EXAMPLE", "EXIT STATUS", "SEE ALSO"};
    for (const Program& program : readProgramList()) {
        SCOPED_TRACE(pageOf(program.name).string());
        ASSERT_TRUE(fs::exists(pageOf(program.name)));
        Page page = readPage(pageOf(program.name));

        std::string upperName;
        for (char c : program.name) {
            upperName += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        std::vector<std::string> title = requestWords(page.title);
        ASSERT_EQ(title.size(), 6u) << page.title;
        EXPECT_EQ(title[1], upperName);
        EXPECT_EQ(title[2], sectionOf(program.name));
        EXPECT_TRUE(std::regex_match(title[3], std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}")));
        EXPECT_EQ(title[4], "console-lessons " LESSONS_VERSION);
        EXPECT_FALSE(title[5].empty());

        EXPECT_EQ(page.headings, order);

        // What whatis shows, and the README's catalogue repeats: short, in
        // lower case, with no full stop.
        const std::vector<std::string>& name = page.sections["NAME"];
        ASSERT_EQ(name.size(), 1u);
        const std::string lead = program.name + " \\- ";
        ASSERT_EQ(name[0].rfind(lead, 0), 0u) << name[0];
        const std::string summary = name[0].substr(lead.size());
        EXPECT_TRUE(!summary.empty() && std::islower(static_cast<unsigned char>(summary[0])));
        EXPECT_NE(summary.back(), '.');
        EXPECT_LE(program.name.size() + 3 + summary.size(), 61u) << name[0];

        EXPECT_EQ(page.sections["SYNOPSIS"], std::vector<std::string>{".B " + program.name});

        // A blank at the end of a line would be lost to the eye and to
        // editors; a page writes a trailing blank of the output as " \&".
        for (const std::string& line : session::splitLines(readFile(pageOf(program.name)))) {
            EXPECT_TRUE(line.empty() || !std::isspace(static_cast<unsigned char>(line.back())))
                << "white space ends \"" << line << "\"";
        }
    }
}

TEST(ManualPages, EveryExampleIsATranscriptCaseTypedThroughPrintf) {
    const std::string marker = ".\\\" session: ";
    for (const Program& program : readProgramList()) {
        SCOPED_TRACE(pageOf(program.name).string());
        Page page = readPage(pageOf(program.name));
        const std::vector<std::string>& example = page.sections["EXAMPLE"];

        std::size_t at = 0;
        while (at < example.size() && example[at].rfind(marker, 0) != 0) {
            ++at;
        }
        ASSERT_LT(at, example.size()) << "no session comment";
        const std::string casePath = example[at].substr(marker.size());
        EXPECT_EQ(casePath.rfind(program.folder + "/tests/" + program.name + "/", 0), 0u)
            << casePath << " is not a case of " << program.name;
        const fs::path input = sourceDir / (casePath + ".in");
        const bool placeholders = !fs::exists(sourceDir / (casePath + ".out"));
        const fs::path output = sourceDir / (casePath + (placeholders ? ".match" : ".out"));
        ASSERT_TRUE(fs::exists(input)) << input;
        ASSERT_TRUE(fs::exists(output)) << output;

        ASSERT_LT(at + 1, example.size());
        ASSERT_EQ(example[at + 1], ".EX") << "the example follows its session comment";
        std::vector<std::string> shown;
        for (at += 2; at < example.size() && example[at] != ".EE"; ++at) {
            std::string text;
            ASSERT_TRUE(unescapeRoff(example[at], text)) << "not plain text: " << example[at];
            shown.push_back(text);
        }
        ASSERT_LT(at, example.size()) << "the example has no .EE";
        ASSERT_FALSE(shown.empty());

        EXPECT_EQ(shown.front(),
                  session::shellCommand(program.name, readFile(input), program.stoppedClock));
        shown.erase(shown.begin());
        EXPECT_EQ(session::excerptMismatch(shown, readFile(output), placeholders), "");
    }
}

TEST(ManualPages, SeeAlsoNamesTheOtherProgramsOfTheFolder) {
    std::vector<Program> programs = readProgramList();
    std::map<std::string, std::string> folderOf;
    for (const Program& program : programs) {
        folderOf[program.name] = program.folder;
    }
    for (const Program& program : programs) {
        SCOPED_TRACE(pageOf(program.name).string());
        std::set<std::string> expected;
        for (const Program& other : programs) {
            if (other.folder == program.folder && other.name != program.name) {
                expected.insert(other.name + " (" + sectionOf(other.name) + ")");
            }
        }
        // A page may also point beyond the lessons (the card game to the
        // tools and functions it rests on); those are not checked here.
        std::set<std::string> named;
        Page page = readPage(pageOf(program.name));
        const std::vector<std::string>& seeAlso = page.sections["SEE ALSO"];
        for (std::size_t i = 0; i < seeAlso.size(); ++i) {
            std::vector<std::string> words = requestWords(seeAlso[i]);
            ASSERT_EQ(words.size(), 3u) << seeAlso[i];
            EXPECT_EQ(words[0], ".BR");
            std::string section = words[2];
            const bool comma = !section.empty() && section.back() == ',';
            EXPECT_EQ(comma, i + 1 < seeAlso.size()) << "a comma after all but the last";
            if (comma) {
                section.pop_back();
            }
            if (folderOf.count(words[1]) != 0) {
                named.insert(words[1] + " " + section);
            }
        }
        EXPECT_EQ(named, expected);
    }
}

}  // namespace

// Every program has a manual page, and every page tells the truth about its
// program: the page is named after the program, holds the usual sections in
// the usual order, shows as its example a transcript case of the program (the
// command that types the case's input, then the case's output or an excerpt
// of it), and points to the other programs of its folder.

#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "ManualPages.h"

namespace fs = std::filesystem;

namespace {

// The characters that a line of roff text inside .EX stands for; false for a
// line roff takes for a request, an escape the pages do not use, and a
// character a formatter may print as another glyph (- ' ` ^ ~, as a hyphen or
// a curly quote) instead of its escape.
bool unescapeRoff(const std::string& line, std::string& text) {
    static const std::regex known(R"(^(\\e|\\-|\\&|\\\(aq|\\\(ga|\\\(ha|\\\(ti|[^-'`^~\\]))");
    static const std::map<std::string, std::string> meaning = {
        {"\\e", "\\"},  {"\\-", "-"},   {"\\&", ""},   {"\\(aq", "'"},
        {"\\(ga", "`"}, {"\\(ha", "^"}, {"\\(ti", "~"}};
    text.clear();
    std::smatch found;
    for (std::string rest = line; !rest.empty(); rest = found.suffix()) {
        if (!std::regex_search(rest, found, known)) {
            return false;
        }
        text += meaning.count(found[1]) != 0 ? meaning.at(found[1]) : found.str(1);
    }
    return line.empty() || (line[0] != '.' && line[0] != '\'');
}

TEST(ManualPages, EveryProgramHasOnePageAndEveryPageAProgram) {
    std::set<std::string> expected, pages;
    for (const Program& program : readProgramList()) {
        expected.insert(pagePath(program.name).filename());
    }
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(LESSONS_SOURCE_DIR) / "man")) {
        if (std::regex_match(entry.path().filename().string(), std::regex(".*\\.[1-9]"))) {
            pages.insert(entry.path().filename());
        }
    }
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(pages, expected);
}

TEST(ManualPages, EveryPageHoldsItsSectionsInOrder) {
    for (const Program& program : readProgramList()) {
        SCOPED_TRACE(pagePath(program.name).string());
        Page page = readPage(program.name);
        std::string upperName = program.name;
        std::transform(upperName.begin(), upperName.end(), upperName.begin(), ::toupper);
        std::smatch title;
        ASSERT_TRUE(std::regex_match(
            page.title, title,
            std::regex(R"re(\.TH (\S+) (\S+) \d{4}-\d{2}-\d{2} "([^"]*)" "[^"]+")re")))
            << page.title;
        EXPECT_EQ(title[1], upperName);
        EXPECT_EQ(title[2], sectionOf(program.name));
        EXPECT_EQ(title[3], "console-lessons " LESSONS_VERSION);
        EXPECT_EQ(page.headings, (std::vector<std::string>{"NAME", "SYNOPSIS", "DESCRIPTION",
                                                           "EXAMPLE", "EXIT STATUS", "SEE ALSO"}));

        // What whatis shows, and the README's catalogue repeats: short, in
        // lower case, with no full stop.
        const std::string summary = summaryOf(page, program.name);
        EXPECT_TRUE(std::regex_match(summary, std::regex("[a-z](.*[^.])?")))
            << "NAME: " << testing::PrintToString(page.sections["NAME"]);
        EXPECT_LE(program.name.size() + 3 + summary.size(), 61u) << summary;
        EXPECT_EQ(page.sections["SYNOPSIS"], std::vector<std::string>{".B " + program.name});

        // A blank at the end of a line would be lost to the eye and to
        // editors; a page writes a trailing blank of the output as " \&".
        for (const std::string& line : splitLines(readFile(pagePath(program.name)))) {
            EXPECT_TRUE(line.empty() || !std::isspace(static_cast<unsigned char>(line.back())))
                << "white space ends \"" << line << "\"";
        }
    }
}

TEST(ManualPages, EveryExampleIsATranscriptCaseTypedThroughPrintf) {
    for (const Program& program : readProgramList()) {
        SCOPED_TRACE(pagePath(program.name).string());
        Page page = readPage(program.name);
        const auto [casePath, roff] = exampleOf(page);
        ASSERT_FALSE(casePath.empty()) << "no session comment right before .EX ... .EE";
        EXPECT_EQ(casePath.rfind(program.folder + "/tests/" + program.name + "/", 0), 0u)
            << casePath << " is not a case of " << program.name;
        std::vector<std::string> shown(roff.size());
        for (std::size_t i = 0; i < roff.size(); ++i) {
            ASSERT_TRUE(unescapeRoff(roff[i], shown[i])) << "not plain text: " << roff[i];
        }
        EXPECT_EQ(sessionMismatch(shown, program, casePath), "");
    }
}

// The text that quoted output in a page's prose stands for: "\ " is a blank
// that no line break removes, "\-" a minus sign, "\e" a backslash, and "\&"
// nothing.
std::string unescapeProse(const std::string& roff) {
    std::string text;
    for (std::size_t i = 0; i < roff.size(); ++i) {
        if (roff[i] != '\\' || i + 1 == roff.size()) {
            text += roff[i];
        } else if (const char next = roff[++i]; next != '&') {
            text += next == 'e' ? '\\' : next;
        }
    }
    return text;
}

// A blank that ends a line cannot be seen, on the screen or in the example.
// For each line of its example that ends in one, a page quotes the text the
// line ends with, blank and all (the closing quote shows it), and says in
// the same sentence that it ends in a blank.
TEST(ManualPages, EveryBlankThatEndsAnExampleLineIsSpokenOf) {
    // A quoted output text and the rest of its sentence.
    static const std::regex quoted(R"(\\\(lq\\fB((?:(?!\\\(rq).)*?)\\fP\\\(rq([^.]*))");
    int blankEnded = 0;
    for (const Program& program : readProgramList()) {
        SCOPED_TRACE(pagePath(program.name).string());
        Page page = readPage(program.name);
        std::string prose;
        bool inExample = false;
        for (const char* section : {"DESCRIPTION", "EXAMPLE"}) {
            for (const std::string& line : page.sections[section]) {
                inExample = line == ".EX" || (inExample && line != ".EE");
                if (!inExample && line != ".EE") {
                    prose += line + " ";
                }
            }
        }
        std::vector<std::string> saidToEndInABlank;
        for (std::sregex_iterator at(prose.begin(), prose.end(), quoted), end; at != end; ++at) {
            const std::string text = unescapeProse((*at)[1]);
            if (!text.empty() && text.back() == ' ' &&
                (*at)[2].str().find("in a blank") != std::string::npos) {
                saidToEndInABlank.push_back(text);
            }
        }
        for (const std::string& line : exampleOf(page).second) {
            std::string shown;
            if (!unescapeRoff(line, shown) || shown.empty() || shown.back() != ' ') {
                continue;
            }
            ++blankEnded;
            const bool spoken = std::any_of(
                saidToEndInABlank.begin(), saidToEndInABlank.end(), [&](const std::string& text) {
                    return text.size() <= shown.size() &&
                           shown.compare(shown.size() - text.size(), text.size(), text) == 0;
                });
            EXPECT_TRUE(spoken) << "\"" << shown << "\" ends in a blank, and no quoted text "
                                << "that ends it is said to end in a blank";
        }
    }
    EXPECT_GT(blankEnded, 0) << "no example line ends in a blank: the examples were not read";
}

TEST(ManualPages, SeeAlsoNamesTheOtherProgramsOfTheFolder) {
    const std::vector<Program> programs = readProgramList();
    for (const Program& program : programs) {
        SCOPED_TRACE(pagePath(program.name).string());
        std::set<std::string> expected, named;
        for (const Program& other : programs) {
            if (other.folder == program.folder && other.name != program.name) {
                expected.insert(other.name + " (" + sectionOf(other.name) + ")");
            }
        }
        // Each line names one page, with a comma after all but the last.  A
        // page may also point beyond the lessons (the card game to the tools
        // and functions it rests on); those are not checked here.
        const std::vector<std::string> seeAlso = readPage(program.name).sections["SEE ALSO"];
        for (std::size_t i = 0; i < seeAlso.size(); ++i) {
            std::smatch found;
            ASSERT_TRUE(std::regex_match(seeAlso[i], found, std::regex(R"(\.BR (\S+) (\S+?)(,?))")))
                << seeAlso[i];
            EXPECT_EQ(found[3] == ",", i + 1 < seeAlso.size()) << seeAlso[i];
            if (std::any_of(programs.begin(), programs.end(),
                            [&](const Program& other) { return other.name == found[1]; })) {
                named.insert(found.str(1) + " " + found.str(2));
            }
        }
        EXPECT_EQ(named, expected);
    }
}

}  // namespace

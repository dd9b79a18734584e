// What the manual page and README tests share (they define LESSONS_SOURCE_DIR
// and LESSONS_PROGRAM_LIST): the build's list of programs, their manual
// pages, and the session that a page shows as its example and the README
// shows again, a transcript case as a shell session: the command that types
// the case's input, then what the program prints (or an excerpt).
#pragma once

#include <algorithm>
#include <cstdio>
#include <regex>

#include "cases/ExpectedText.h"

struct Program {
    std::string name, folder, stoppedClock;
};

// The build's list of programs, one a line: the name, the folder and the
// stopped clock, separated by tabs.
inline std::vector<Program> readProgramList() {
    static const std::regex fields("([^\t]+)\t([^\t]*)\t(.*)");
    std::vector<Program> programs;
    for (const std::string& line : splitLines(readFile(LESSONS_PROGRAM_LIST))) {
        if (std::smatch found; std::regex_match(line, found, fields)) {
            programs.push_back({found[1], found[2], found[3]});
        }
    }
    return programs;
}

// Games go to section 6, everything else to section 1.
inline std::string sectionOf(const std::string& program) {
    return program == "twentyone" ? "6" : "1";
}

inline std::filesystem::path pagePath(const std::string& program) {
    return std::filesystem::path(LESSONS_SOURCE_DIR) / "man" / (program + "." + sectionOf(program));
}

// A page as the tests read it: the .TH line, and the lines under each .SH
// heading, in order.
struct Page {
    std::string title;
    std::vector<std::string> headings;
    std::map<std::string, std::vector<std::string>> sections;
};

inline Page readPage(const std::string& program) {
    Page page;
    std::vector<std::string>* body = nullptr;
    for (const std::string& line : splitLines(readFile(pagePath(program)))) {
        if (line.rfind(".TH ", 0) == 0) {
            page.title = line;
        } else if (line.rfind(".SH ", 0) == 0) {
            page.headings.push_back(
                std::regex_replace(line.substr(4), std::regex("^\"(.*)\"$"), "$1"));
            body = &page.sections[page.headings.back()];
        } else if (body != nullptr) {
            body->push_back(line);
        }
    }
    return page;
}

// The summary that NAME gives after "<program> \- ", or "" when it does not.
inline std::string summaryOf(Page& page, const std::string& program) {
    const std::vector<std::string>& name = page.sections["NAME"];
    const std::string lead = program + " \\- ";
    return name.size() == 1 && name[0].rfind(lead, 0) == 0 ? name[0].substr(lead.size()) : "";
}

// The case that a page's example shows, named by a comment right before it,
//     .\" session: geometry/tests/discs/inside
// and the roff lines between .EX and .EE; nothing when the page lacks one.
inline std::pair<std::string, std::vector<std::string>> exampleOf(Page& page) {
    const std::vector<std::string>& lines = page.sections["EXAMPLE"];
    const std::string mark = ".\\\" session: ";
    const auto at = std::find_if(lines.begin(), lines.end(),
                                 [&](const std::string& line) { return line.rfind(mark, 0) == 0; });
    const auto end = at == lines.end() ? at : std::find(at, lines.end(), ".EE");
    if (end == lines.end() || at[1] != ".EX") {
        return {};
    }
    return {at->substr(mark.size()), {at + 2, end}};
}

// The typed bytes as a printf format inside single quotes: a single quote
// closes them, follows escaped and opens them again ('\''), a byte that is
// no printable ASCII is written in octal (\ooo), or named (\n \t \\ %%).
inline std::string printfFormat(const std::string& typed) {
    static const std::map<char, std::string> named = {
        {'\n', "\\n"}, {'\t', "\\t"}, {'\\', "\\\\"}, {'%', "%%"}, {'\'', "'\\''"}};
    std::string format;
    for (const char c : typed) {
        const unsigned char byte = static_cast<unsigned char>(c);
        char octal[8];
        std::snprintf(octal, sizeof octal, "\\%03o", byte);
        format += named.count(c) != 0        ? named.at(c)
                  : byte >= 32 && byte < 127 ? std::string(1, c)
                                             : octal;
    }
    return format;
}

// "$ printf '<typed>' | <program>", with "TZ=UTC faketime '<clock>' " before
// the program when its clock is stopped, and "$ <program>" alone when nothing
// is typed.  A format that begins with a minus sign comes after "--", or
// printf would take it for an option.
inline std::string shellCommand(const std::string& program, const std::string& typed,
                                const std::string& stoppedClock) {
    std::string command = "$ ";
    if (!typed.empty()) {
        command += (typed[0] == '-' ? "printf -- '" : "printf '") + printfFormat(typed) + "' | ";
    }
    if (!stoppedClock.empty()) {
        command += "TZ=UTC faketime '" + stoppedClock + "' ";
    }
    return command + program;
}

// Whether the printed lines that a session shows (from line s on) are the
// lines of the output expected of its case (from line e on).  A line "..."
// stands for one line or more left out, but not next to another "..." and
// not for the whole output.  With placeholders (a .match file) an expected
// line may stand for many; a shown line equal to it fits too.
inline bool excerptFits(const std::vector<std::string>& shown,
                        const std::vector<std::string>& expected, bool placeholders,
                        std::size_t s = 0, std::size_t e = 0) {
    if (s == shown.size()) {
        return e == expected.size();
    }
    if (shown[s] == "...") {  // one line left out, then the rest or more left out
        const bool misplaced = shown.size() == 1 || (s + 1 < shown.size() && shown[s + 1] == "...");
        return !misplaced && e < expected.size() &&
               (excerptFits(shown, expected, placeholders, s + 1, e + 1) ||
                excerptFits(shown, expected, placeholders, s, e + 1));
    }
    return e < expected.size() &&
           (shown[s] == expected[e] || (placeholders && matchesLine(shown[s], expected[e]))) &&
           excerptFits(shown, expected, placeholders, s + 1, e + 1);
}

// "" when a session (its lines in order) shows the case at casePath (in the
// source tree, without extension) as the program's session; else what is wrong.
inline std::string sessionMismatch(const std::vector<std::string>& session, const Program& program,
                                   const std::string& casePath) {
    const std::string path = std::string(LESSONS_SOURCE_DIR) + "/" + casePath;
    const bool placeholders = !std::filesystem::exists(path + ".out");
    const std::string command =
        shellCommand(program.name, readFile(path + ".in"), program.stoppedClock);
    if (session.empty() || session[0] != command) {
        return "the session does not begin with " + command;
    }
    return excerptFits({session.begin() + 1, session.end()},
                       splitLines(readFile(path + (placeholders ? ".match" : ".out"))),
                       placeholders)
               ? ""
               : "the lines after the command are not the case's output, nor an excerpt of it";
}

// A transcript case shown as a shell session, in the one form that the manual
// pages and the README share: the command that types the case's input, then
// what the program prints.
//
//     $ printf '0,0 3,4\n1,0 1,1\n' | discs
//     Enter C1: C1: (0,0) (3,4)
//     ...
//
// shellCommand() makes the command line from the case's input bytes, and
// excerptMismatch() checks the printed lines that a session shows against
// the case's expected output, of which they may be an excerpt.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

namespace session {

// The typed bytes as a printf format, to stand inside single quotes: a
// newline as \n, a tab as \t, a backslash as \\, a per cent sign as %%, a
// single quote as '\'' (the quotes are closed, an escaped quote follows, and
// they are opened again), any other byte below 32 or from 127 up as \ooo in
// three octal digits, and every other byte as itself.
inline std::string printfFormat(const std::string& typed) {
    std::string format;
    for (char c : typed) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            format += "\\n";
        } else if (c == '\t') {
            format += "\\t";
        } else if (c == '\\') {
            format += "\\\\";
        } else if (c == '%') {
            format += "%%";
        } else if (c == '\'') {
            format += "'\\''";
        } else if (byte < 32 || byte >= 127) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned int>(byte));
            format += octal;
        } else {
            format += c;
        }
    }
    return format;
}

// The command that runs program on the typed bytes:
//     $ printf '<typed>' | <program>
// with "TZ=UTC faketime '<clock>' " before the program when its clock is
// stopped, and "$ <program>" alone when nothing is typed.  A format that
// begins with a minus sign comes after "--", or printf would take it for an
// option.
inline std::string shellCommand(const std::string& program, const std::string& typed,
                                const std::string& stoppedClock) {
    std::string command = "$ ";
    if (!typed.empty()) {
        command += typed[0] == '-' ? "printf -- '" : "printf '";
        command += printfFormat(typed) + "' | ";
    }
    if (!stoppedClock.empty()) {
        command += "TZ=UTC faketime '" + stoppedClock + "' ";
    }
    return command + program;
}

// The lines of printed text.  The last line need not end in a newline: a
// session shows "a\nb" and "a\nb\n" alike.
inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Whether a shown line is the expected line.  With placeholders (the
// expected output is a .match file) the expected line may hold @ADDR@, a
// pointer as a stream prints it (0x7ffd4a1c or 0), and @INT@, a decimal
// integer; every use of one placeholder on a line stands for the same text.
// A shown line equal to the expected one fits either way.
inline bool lineFits(const std::string& shown, const std::string& expected, bool placeholders) {
    if (shown == expected) {
        return true;
    }
    if (!placeholders) {
        return false;
    }
    struct Placeholder {
        const char* token;
        const char* pattern;
        int group;
    };
    Placeholder kinds[] = {{"@ADDR@", "(0x[0-9a-f]+|0)", 0}, {"@INT@", "(-?[0-9]+)", 0}};
    std::string regex;
    int groups = 0;
    std::size_t pos = 0;
    while (pos <= expected.size()) {
        Placeholder* next = nullptr;
        std::size_t at = std::string::npos;
        for (Placeholder& kind : kinds) {
            std::size_t where = expected.find(kind.token, pos);
            if (where < at) {
                at = where;
                next = &kind;
            }
        }
        for (char c : expected.substr(pos, at == std::string::npos ? at : at - pos)) {
            if (std::strchr("\\^$.|?*+()[]{}", c) != nullptr) {
                regex += '\\';
            }
            regex += c;
        }
        if (next == nullptr) {
            break;
        }
        if (next->group == 0) {
            next->group = ++groups;
            regex += next->pattern;
        } else {
            regex += "\\" + std::to_string(next->group);
        }
        pos = at + std::strlen(next->token);
    }
    return std::regex_match(shown, std::regex(regex));
}

// The line that stands, in a session, for lines left out.
inline constexpr char ELISION[] = "...";

// Checks the printed lines that a session shows against the whole output
// expected of its case.  A line holding just "..." stands for one or more
// lines left out; the runs of lines between such lines must appear in the
// output in order, the first one at its start unless the session begins
// with "...", and the last one at its end unless the session ends with
// "...".  Returns an empty string when the session fits, else what is wrong.
inline std::string excerptMismatch(const std::vector<std::string>& shown,
                                   const std::string& expectedOutput, bool placeholders) {
    const std::vector<std::string> expected = splitLines(expectedOutput);
    std::vector<std::vector<std::string>> runs(1);
    std::size_t shownLines = 0;
    for (const std::string& line : shown) {
        if (line == ELISION) {
            runs.emplace_back();
        } else {
            runs.back().push_back(line);
            ++shownLines;
        }
    }
    if (shownLines == 0) {
        return expected.empty() && runs.size() == 1 ? "" : "the session shows none of the output";
    }
    auto fitsAt = [&](const std::vector<std::string>& run, std::size_t from) {
        if (from + run.size() > expected.size()) {
            return false;
        }
        for (std::size_t i = 0; i < run.size(); ++i) {
            if (!lineFits(run[i], expected[from + i], placeholders)) {
                return false;
            }
        }
        return true;
    };

    // The first output line that the next run may start on.
    std::size_t next = 0;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const std::vector<std::string>& run = runs[r];
        const bool first = r == 0;
        const bool last = r + 1 == runs.size();
        if (run.empty()) {
            if (first || last) {
                continue;  // the session begins or ends with "..."
            }
            return "two \"...\" lines follow each other";
        }
        if (!first) {
            ++next;  // a "..." stands for at least one line
        }
        const std::string where = "the lines from \"" + run.front() + "\"";
        if (first) {
            if (!fitsAt(run, 0)) {
                return where + " do not begin the output";
            }
            next = run.size();
            if (last && next != expected.size()) {
                return "the session shows " + std::to_string(next) + " lines, the output has " +
                       std::to_string(expected.size());
            }
        } else if (last) {
            if (run.size() > expected.size() || expected.size() - run.size() < next ||
                !fitsAt(run, expected.size() - run.size())) {
                return where + " do not end the output";
            }
        } else {
            std::size_t from = next;
            while (from + run.size() <= expected.size() && !fitsAt(run, from)) {
                ++from;
            }
            if (from + run.size() > expected.size()) {
                return where + " are not found in the output in that order";
            }
            next = from + run.size();
        }
    }
    if (runs.back().empty() && next >= expected.size()) {
        return "the session ends with \"...\", but no line is left out there";
    }
    return "";
}

}  // namespace session

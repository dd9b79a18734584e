// Text files and the lines in them, and the placeholders that an expected
// output (a .match file) may hold for values that change from run to run:
//     @ADDR@  a pointer as a stream prints it (0x7ffd4a1c or 0)
//     @INT@   a decimal integer
// Every use of one placeholder on a line stands for the same text, so
// "@ADDR@\t== @ADDR@" checks that both sides agree.
#pragma once

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines of a text; the last one need not end in a newline.
inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

inline constexpr const char* PLACEHOLDERS[][2] = {{"@ADDR@", "(0x[0-9a-f]+|0)"},
                                                  {"@INT@", "(-?[0-9]+)"}};

// Where the first placeholder at or after `from` begins (npos for none),
// and which one it is.
inline std::size_t findPlaceholder(const std::string& line, std::size_t from, int& which) {
    std::size_t first = std::string::npos;
    for (int p = 0; p < 2; ++p) {
        if (const std::size_t at = line.find(PLACEHOLDERS[p][0], from); at < first) {
            first = at;
            which = p;
        }
    }
    return first;
}

// Whether actual is the expected line, with its placeholders filled in.
inline bool matchesLine(const std::string& actual, const std::string& expected) {
    std::string regex;
    int groupOf[2] = {0, 0};
    int groups = 0;
    for (std::size_t pos = 0;;) {
        int which = 0;
        const std::size_t at = findPlaceholder(expected, pos, which);
        for (char c : expected.substr(pos, at - pos)) {
            regex += std::string_view("\\^$.|?*+()[]{}").find(c) == std::string_view::npos
                         ? std::string(1, c)
                         : std::string{'\\', c};
        }
        if (at == std::string::npos) {
            return std::regex_match(actual, std::regex(regex));
        }
        if (groupOf[which] == 0) {
            groupOf[which] = ++groups;
            regex += PLACEHOLDERS[which][1];
        } else {
            regex += "\\" + std::to_string(groupOf[which]);
        }
        pos = at + std::strlen(PLACEHOLDERS[which][0]);
    }
}

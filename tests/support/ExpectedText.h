// Text files and the lines in them, and the placeholders that an expected
// output (a .match file) may hold for values that change from run to run:
//     @ADDR@  a pointer as a stream prints it (0x7ffd4a1c or 0)
//     @INT@   a decimal integer
//     @NAN@   a NaN as a stream prints it: nan or -nan
// Every use of @ADDR@ or @INT@ on a line stands for the same text, so
// "@ADDR@\t== @ADDR@" checks that both sides agree.  Each @NAN@ stands on its
// own: the sign of a NaN depends on the processor and the compiler, and
// carries no meaning.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The lines of a text; the last one need not end in a newline.
inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size(); start += lines.back().size() + 1) {
        lines.push_back(text.substr(start, text.find('\n', start) - start));
    }
    return lines;
}

inline std::size_t firstPlaceholder(const std::string& line) {
    return std::min({line.find("@ADDR@"), line.find("@INT@"), line.find("@NAN@")});
}

// Whether actual is the expected line, with its placeholders filled in.
inline bool matchesLine(const std::string& actual, const std::string& expected) {
    static const std::regex placeholder("@ADDR@|@INT@|@NAN@"), special(R"([\\^$.|?*+()[\]{}])");
    std::map<std::string, std::size_t> groupOf;  // the group that a placeholder's first use is
    std::string regex;
    for (std::sregex_token_iterator piece(expected.begin(), expected.end(), placeholder, {-1, 0}),
         end;
         piece != end; ++piece) {
        if (*piece == "@NAN@") {
            regex += "-?nan";  // no group, so nothing refers back to it
        } else if (*piece != "@ADDR@" && *piece != "@INT@") {
            regex += std::regex_replace(piece->str(), special, "\\$&");
        } else if (std::size_t& group = groupOf[*piece]; group != 0) {
            regex += "\\" + std::to_string(group);
        } else {
            group = groupOf.size();
            regex += *piece == "@INT@" ? "(-?[0-9]+)" : "(0x[0-9a-f]+|0)";
        }
    }
    return std::regex_match(actual, std::regex(regex));
}

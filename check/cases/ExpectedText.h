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

// A placeholder: its name, the characters its texts are made of, and
// whether a text of them is one it stands for.
struct Placeholder {
    std::string name, characters;
    bool (*standsFor)(const std::string& text);
    bool sameOnALine;
};

inline const std::vector<Placeholder>& placeholders() {
    static const std::string digits = "0123456789";
    static const std::vector<Placeholder> all = {
        {"@ADDR@", digits + "abcdefx",
         [](const std::string& text) {
             return text == "0" || (text.size() > 2 && text.compare(0, 2, "0x") == 0 &&
                                    text.find_first_not_of(digits + "abcdef", 2) == text.npos);
         },
         true},
        {"@INT@", "-" + digits,
         [](const std::string& text) {
             const std::size_t sign = text[0] == '-' ? 1 : 0;
             return text.size() > sign && text.find_first_not_of(digits, sign) == text.npos;
         },
         true},
        {"@NAN@", "-an", [](const std::string& text) { return text == "nan" || text == "-nan"; },
         false},
    };
    return all;
}

inline std::size_t firstPlaceholder(const std::string& line) {
    std::size_t first = line.npos;
    for (const Placeholder& placeholder : placeholders()) {
        first = std::min(first, line.find(placeholder.name));
    }
    return first;
}

// Whether actual, from a on, is expected from e on with its placeholders
// filled in; filled holds the texts that those used on the line so far
// stood for.  A placeholder tries its longest text first, then shorter ones.
inline bool matchesFrom(const std::string& actual, std::size_t a, const std::string& expected,
                        std::size_t e, std::map<std::string, std::string>& filled) {
    for (; e < expected.size(); ++a, ++e) {
        const auto placeholder = std::find_if(
            placeholders().begin(), placeholders().end(),
            [&](const Placeholder& p) { return expected.compare(e, p.name.size(), p.name) == 0; });
        if (placeholder == placeholders().end()) {
            if (a == actual.size() || actual[a] != expected[e]) {
                return false;
            }
            continue;
        }
        const std::string& name = placeholder->name;
        e += name.size();
        if (placeholder->sameOnALine && filled.count(name) != 0) {
            const std::string& text = filled[name];
            return actual.compare(a, text.size(), text) == 0 &&
                   matchesFrom(actual, a + text.size(), expected, e, filled);
        }
        const std::size_t span =
            std::min(actual.find_first_not_of(placeholder->characters, a), actual.size()) - a;
        for (std::size_t length = span; length > 0; --length) {
            const std::string text = actual.substr(a, length);
            if (!placeholder->standsFor(text)) {
                continue;
            }
            if (placeholder->sameOnALine) {
                filled[name] = text;
            }
            if (matchesFrom(actual, a + length, expected, e, filled)) {
                return true;
            }
            filled.erase(name);
        }
        return false;
    }
    return a == actual.size();
}

// Whether actual is the expected line, with its placeholders filled in.
inline bool matchesLine(const std::string& actual, const std::string& expected) {
    std::map<std::string, std::string> filled;
    return matchesFrom(actual, 0, expected, 0, filled);
}

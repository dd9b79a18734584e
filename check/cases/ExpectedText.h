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
#include <cstring>
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
// whether each use of it on a line stands for the same text.
struct Placeholder {
    std::string name, characters;
    bool sameOnALine;
};

inline const std::vector<Placeholder>& placeholders() {
    static const std::vector<Placeholder> all = {
        {"@ADDR@", "0123456789abcdefx", true},
        {"@INT@", "-0123456789", true},
        {"@NAN@", "-an", false},
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

// The lengths of the texts a placeholder may stand for at `a`, longest
// first, or the longest alone: a NaN is "nan" or "-nan"; an integer is a
// sign and digits; a pointer "0", or "0x" and hexadecimal digits.  Found
// without copying, in a time that grows as the run of its characters does.
inline std::vector<std::size_t> candidateLengths(const std::string& actual, std::size_t a,
                                                 const Placeholder& placeholder, bool longestOnly) {
    std::vector<std::size_t> lengths;
    const auto runOf = [&](std::size_t from, const char* characters) {
        const std::size_t end = actual.find_first_not_of(characters, from);
        return (end == std::string::npos ? actual.size() : end) - from;
    };
    if (placeholder.name == "@NAN@") {
        for (const char* nan : {"-nan", "nan"}) {
            if (actual.compare(a, std::strlen(nan), nan) == 0) {
                lengths.push_back(std::strlen(nan));
            }
        }
    } else if (placeholder.name == "@INT@") {
        const std::size_t sign = a < actual.size() && actual[a] == '-' ? 1 : 0;
        for (std::size_t digits = runOf(a + sign, "0123456789"); digits > 0; --digits) {
            lengths.push_back(sign + digits);
            if (longestOnly) {
                break;
            }
        }
    } else {
        if (actual.compare(a, 2, "0x") == 0) {
            for (std::size_t digits = runOf(a + 2, "0123456789abcdef"); digits > 0; --digits) {
                lengths.push_back(2 + digits);
                if (longestOnly) {
                    break;
                }
            }
        }
        if (a < actual.size() && actual[a] == '0' && (lengths.empty() || !longestOnly)) {
            lengths.push_back(1);
        }
    }
    return lengths;
}

// Whether actual, from a on, is expected from e on with its placeholders
// filled in; filled holds the texts that those used on the line so far
// stood for.  Where the expected text goes on with a byte a placeholder's
// text cannot hold, only its longest text is tried, so that a line of a
// megabyte is matched in a time that grows as its length does.
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
        // Where the expected text goes on with a byte the placeholder's text
        // cannot hold, a shorter text would leave one of its own there.
        const bool nextFixed = e < expected.size() && expected[e] != '@' &&
                               placeholder->characters.find(expected[e]) == std::string::npos;
        for (const std::size_t length : candidateLengths(actual, a, *placeholder, nextFixed)) {
            if (placeholder->sameOnALine) {
                filled[name] = actual.substr(a, length);
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

// How far actual goes along the expected line, its placeholders filled in
// greedily: where a caret goes under the first byte that is not expected.
inline std::size_t matchedLength(const std::string& actual, const std::string& expected) {
    std::size_t a = 0;
    for (std::size_t e = 0; e < expected.size() && a < actual.size();) {
        const auto placeholder = std::find_if(
            placeholders().begin(), placeholders().end(),
            [&](const Placeholder& p) { return expected.compare(e, p.name.size(), p.name) == 0; });
        if (placeholder == placeholders().end()) {
            if (actual[a] != expected[e]) {
                return a;
            }
            ++a;
            ++e;
            continue;
        }
        const std::vector<std::size_t> lengths = candidateLengths(actual, a, *placeholder, true);
        if (lengths.empty()) {
            return a;
        }
        a += lengths.front();
        e += placeholder->name.size();
    }
    return a;
}

// Whether actual is the expected line, with its placeholders filled in.
inline bool matchesLine(const std::string& actual, const std::string& expected) {
    std::map<std::string, std::string> filled;
    return matchesFrom(actual, 0, expected, 0, filled);
}

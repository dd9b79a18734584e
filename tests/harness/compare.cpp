#include "compare.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <regex>
#include <vector>

#include "process.h"

std::string visible(const std::string& text) {
    std::string shown;
    for (unsigned char c : text) {
        if (c == '\n') {
            shown += "\\n\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (c == ' ') {
            shown += "\xc2\xb7";  // a middle dot marks every blank
        } else if (c < 32 || c >= 127) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", c);
            shown += code;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

namespace {

struct Placeholder {
    const char* token;
    const char* pattern;
};
const Placeholder placeholders[] = {{"@ADDR@", "(0x[0-9a-f]+|0)"}, {"@INT@", "(-?[0-9]+)"}};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (;;) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));  // "" when the text ends in a newline
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string escapeForRegex(const std::string& literal) {
    static const std::string special = "\\^$.|?*+()[]{}";
    std::string escaped;
    for (char c : literal) {
        if (special.find(c) != std::string::npos) {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

// Turns one expected line with placeholders into a regular expression in
// which the second and later uses of a placeholder must repeat the first.
std::regex patternForLine(const std::string& line) {
    int groupOf[std::size(placeholders)] = {};
    std::string regex;
    int groups = 0;
    std::string::size_type pos = 0;
    while (pos < line.size()) {
        std::size_t found = std::size(placeholders);
        std::string::size_type at = std::string::npos;
        for (std::size_t p = 0; p < std::size(placeholders); ++p) {
            auto where = line.find(placeholders[p].token, pos);
            if (where < at) {
                at = where;
                found = p;
            }
        }
        regex += escapeForRegex(line.substr(pos, at - pos));
        if (found == std::size(placeholders)) {
            break;
        }
        if (groupOf[found] == 0) {
            groupOf[found] = ++groups;
            regex += placeholders[found].pattern;
        } else {
            regex += "\\" + std::to_string(groupOf[found]);
        }
        pos = at + std::strlen(placeholders[found].token);
    }
    return std::regex(regex);
}

std::string::size_type firstPlaceholder(const std::string& line) {
    std::string::size_type first = line.size();
    for (const Placeholder& p : placeholders) {
        first = std::min(first, line.find(p.token));
    }
    return first;
}

std::string compareWithPattern(const std::string& expected, const std::string& actual) {
    std::vector<std::string> want = splitLines(expected);
    std::vector<std::string> got = splitLines(actual);
    for (std::size_t i = 0; i < want.size() && i < got.size(); ++i) {
        if (!std::regex_match(got[i], patternForLine(want[i]))) {
            return "line " + std::to_string(i + 1) +
                   " differs:\n  expected pattern: " + visible(want[i]) +
                   "\n  actual:           " + visible(got[i]);
        }
    }
    if (want.size() != got.size()) {
        return "expected " + std::to_string(want.size()) + " line pieces, got " +
               std::to_string(got.size());
    }
    return "";
}

std::string compareExactly(const std::string& expected, const std::string& actual) {
    if (expected == actual) {
        return "";
    }
    auto mismatch = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    auto offset = mismatch.first - expected.begin();
    return "output differs from byte " + std::to_string(offset) + " on\n--- expected\n" +
           visible(expected) + "\n--- actual\n" + visible(actual);
}

}  // namespace

Expected::Expected(const std::string& path)
    : bytes(readFile(path)), pattern(endsWith(path, ".match")) {}

std::string Expected::differenceFrom(const std::string& actual) const {
    return pattern ? compareWithPattern(bytes, actual) : compareExactly(bytes, actual);
}

bool Expected::beginsWith(const std::string& actual) const {
    if (!pattern) {
        return actual.size() <= bytes.size() && bytes.compare(0, actual.size(), actual) == 0;
    }
    std::vector<std::string> want = splitLines(bytes);
    std::vector<std::string> got = splitLines(actual);
    if (got.size() > want.size()) {
        return false;
    }
    const std::size_t last = got.size() - 1;
    for (std::size_t i = 0; i < last; ++i) {
        if (!std::regex_match(got[i], patternForLine(want[i]))) {
            return false;
        }
    }
    const std::string literal = want[last].substr(0, firstPlaceholder(want[last]));
    const std::size_t compared = std::min(literal.size(), got[last].size());
    return got[last].compare(0, compared, literal, 0, compared) == 0 &&
           (literal.size() < want[last].size() || got[last].size() <= literal.size());
}

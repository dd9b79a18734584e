#include "Expected.h"

#include <algorithm>
#include <cstdio>

#include "ExpectedText.h"

std::string quoted(const std::string& text) {
    std::string shown = "\"";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        char code[8];
        std::snprintf(code, sizeof code, "\\x%02x", byte);
        shown += c == '\n'                  ? "\\n"
                 : c == '\t'                ? "\\t"
                 : c == '\\'                ? "\\\\"
                 : c == '"'                 ? "\\\""
                 : byte < 32 || byte >= 127 ? code
                                            : std::string(1, c);
    }
    return shown + "\"";
}

std::vector<std::string> linesWithEnds(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size(); start += lines.back().size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end + 1 - start));
    }
    return lines;
}

Expected::Expected(const std::filesystem::path& path)
    : text(readFile(path)), pattern(path.extension() == ".match") {}

std::string Expected::differenceFrom(const std::string& actual) const {
    return firstDifference(linesWithEnds(text), linesWithEnds(actual), true);
}

std::string Expected::differenceFromStart(const std::string& actual) const {
    return firstDifference(linesWithEnds(text), linesWithEnds(actual), false);
}

// Whether an actual line is the wanted one.  An unfinished line (the last of
// a screen) need only be how the wanted line begins; with placeholders, up
// to the first of them, or, once past it, the line may go on as it likes.
bool Expected::lineFits(const std::string& actual, const std::string& wanted, bool finished) const {
    if (finished) {
        if (!pattern) {
            return actual == wanted;
        }
        const bool ended = !actual.empty() && actual.back() == '\n';
        const bool wantedEnded = !wanted.empty() && wanted.back() == '\n';
        return ended == wantedEnded && matchesLine(actual.substr(0, actual.size() - ended),
                                                   wanted.substr(0, wanted.size() - wantedEnded));
    }
    const std::string literal = pattern ? wanted.substr(0, firstPlaceholder(wanted)) : wanted;
    return actual.size() <= literal.size()
               ? literal.compare(0, actual.size(), actual) == 0
               : literal.size() < wanted.size() && actual.rfind(literal, 0) == 0;
}

std::string Expected::firstDifference(const std::vector<std::string>& want,
                                      const std::vector<std::string>& got, bool wholeOutput) const {
    std::size_t i = 0;
    while (i < want.size() && i < got.size()) {
        const bool finished = wholeOutput || i + 1 < got.size() || got[i].back() == '\n';
        if (!lineFits(got[i], want[i], finished)) {
            break;
        }
        ++i;
    }
    if (i == got.size() && (i == want.size() || !wholeOutput)) {
        return "";
    }
    const std::string line = "line " + std::to_string(i + 1);
    const std::string wanted = i < want.size() ? quoted(want[i]) : "(nothing: the output ends)";
    const std::string actual = i < got.size() ? quoted(got[i]) : "(nothing: the output ended)";
    std::string shown =
        line + " differs\n  expected: " + wanted +
        (pattern && i < want.size() && firstPlaceholder(want[i]) != std::string::npos
             ? "  (a pattern, see the case's .match file)"
             : "") +
        "\n  actual:   " + actual;
    if (!pattern && i < want.size() && i < got.size()) {
        // A caret under the first character that differs.
        const std::size_t same =
            std::mismatch(want[i].begin(), want[i].end(), got[i].begin(), got[i].end()).first -
            want[i].begin();
        const std::size_t column = quoted(want[i].substr(0, same)).size() - 1;
        shown += "\n            " + std::string(column, ' ') + "^";
    }
    return shown;
}

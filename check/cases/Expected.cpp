#include "cases/Expected.h"

#include <algorithm>

#include "cases/ExpectedText.h"

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
    return firstDifference(actual, true);
}

std::string Expected::differenceFromStart(const std::string& actual) const {
    return firstDifference(actual, false);
}

namespace {

// The line of a text that starts at `start`, with its newline if it has one.
std::string lineAt(const std::string& text, std::size_t start) {
    const std::size_t end = text.find('\n', start);
    return text.substr(start, end == std::string::npos ? end : end + 1 - start);
}

}  // namespace

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

std::string Expected::firstDifference(const std::string& actual, bool wholeOutput) const {
    // Line by line, one at a time: a program may print millions of lines.
    std::size_t i = 0, wantAt = 0, gotAt = 0;
    std::string wanted, got;
    for (;; ++i, wantAt += wanted.size(), gotAt += got.size()) {
        wanted = wantAt < text.size() ? lineAt(text, wantAt) : "";
        got = gotAt < actual.size() ? lineAt(actual, gotAt) : "";
        if (wanted.empty() || got.empty()) {
            break;
        }
        const bool finished =
            wholeOutput || gotAt + got.size() < actual.size() || got.back() == '\n';
        if (!lineFits(got, wanted, finished)) {
            break;
        }
    }
    if (got.empty() && (wanted.empty() || !wholeOutput)) {
        return "";
    }
    return shownDifference(i, wanted, got);
}

// Where the output differs: the line's number, the expected and the actual
// line ("" for none), and a caret under the first byte that differs.
std::string Expected::shownDifference(std::size_t i, const std::string& want,
                                      const std::string& got) const {
    const std::string line = "line " + std::to_string(i + 1);
    const std::string wanted = !want.empty() ? quoted(want) : "(nothing: the output ends)";
    const std::string actual = !got.empty() ? quoted(got) : "(nothing: the output ended)";
    std::string shown = line + " differs\n  expected: " + wanted +
                        (pattern && !want.empty() && firstPlaceholder(want) != std::string::npos
                             ? "  (a pattern, see the case's .match file)"
                             : "") +
                        "\n  actual:   " + actual;
    if (!pattern && !want.empty() && !got.empty()) {
        // A caret under the first character that differs.
        const std::size_t same =
            std::mismatch(want.begin(), want.end(), got.begin(), got.end()).first - want.begin();
        const std::size_t column = quoted(want.substr(0, same)).size() - 1;
        shown += "\n            " + std::string(column, ' ') + "^";
    }
    return shown;
}

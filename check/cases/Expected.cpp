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

namespace {

// The line of a text that starts at `start`, with its newline if it has one.
std::string lineAt(const std::string& text, std::size_t start) {
    const std::size_t end = text.find('\n', start);
    return text.substr(start, end == std::string::npos ? end : end + 1 - start);
}

// How much of a long line a report shows, around where it parts.
constexpr std::size_t EXCERPT = 160, BEFORE_PARTING = 60;

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

std::vector<DifferingLine> Expected::differences(const std::string& actual, bool wholeOutput,
                                                 std::size_t most) const {
    // Line by line, one at a time: a program may print millions of lines.
    std::vector<DifferingLine> found;
    std::string wanted, got;
    for (std::size_t i = 0, wantAt = 0, gotAt = 0; found.size() < most;
         ++i, wantAt += wanted.size(), gotAt += got.size()) {
        wanted = wantAt < text.size() ? lineAt(text, wantAt) : "";
        got = gotAt < actual.size() ? lineAt(actual, gotAt) : "";
        if (got.empty() && (wanted.empty() || !wholeOutput)) {
            break;
        }
        const bool finished =
            wholeOutput || gotAt + got.size() < actual.size() || got.back() == '\n';
        if (wanted.empty() || got.empty()) {
            // One side has ended: the lines after it would say no more.
            found.push_back(differingLine(i + 1, wanted, got, pattern));
            break;
        } else if (!lineFits(got, wanted, finished)) {
            found.push_back(differingLine(i + 1, wanted, got, pattern));
        }
    }
    return found;
}

std::size_t Expected::positionAfter(const std::string& actual) const {
    if (!pattern) {
        return std::min(actual.size(), text.size());
    }
    const std::size_t lines =
        static_cast<std::size_t>(std::count(actual.begin(), actual.end(), '\n'));
    std::size_t at = 0;
    for (std::size_t line = 0; line < lines && at < text.size(); ++line) {
        const std::size_t end = text.find('\n', at);
        at = end == std::string::npos ? text.size() : end + 1;
    }
    const std::size_t unfinished = actual.size() - (actual.rfind('\n') + 1);
    return std::min(text.size(), at + unfinished);
}

DifferingLine differingLine(std::size_t number, const std::string& wanted, const std::string& got,
                            bool pattern) {
    DifferingLine line;
    line.number = number;
    line.expectedMissing = wanted.empty();
    line.actualMissing = got.empty();
    line.pattern = pattern && firstPlaceholder(wanted) != std::string::npos;
    if (!wanted.empty() && !got.empty()) {
        line.parting =
            line.pattern
                ? matchedLength(got, wanted)
                : static_cast<std::size_t>(
                      std::mismatch(wanted.begin(), wanted.end(), got.begin(), got.end()).first -
                      wanted.begin());
    }
    // A long line is shown around where it parts; a pattern's columns are
    // not the actual line's, so it is shown from its start.
    if (!line.pattern && std::max(wanted.size(), got.size()) > EXCERPT &&
        line.parting != std::string::npos) {
        line.from = line.parting > BEFORE_PARTING ? line.parting - BEFORE_PARTING : 0;
    }
    line.expected = wanted.substr(std::min(line.from, wanted.size()), EXCERPT);
    line.actual = got.substr(std::min(line.from, got.size()), EXCERPT);
    return line;
}

#include "report/ProblemText.h"

#include <algorithm>

#include "report/Escape.h"

namespace {

constexpr std::size_t LINES_SHOWN = 3;  // differing lines of a problem
constexpr std::size_t DETAILS_SHOWN = 6;
constexpr std::size_t LITERAL_SHOWN = 200;  // bytes of a line of output
constexpr std::size_t ERRORS_SHOWN = 200;   // bytes of standard error
constexpr std::size_t LINE_SHOWN = 300;     // bytes of a line in the checker's words

std::string checkerLine(const std::string& line) {
    return shownLine(line.substr(0, LINE_SHOWN)) + (line.size() > LINE_SHOWN ? "..." : "");
}

std::string literal(const std::string& text) {
    return quoted(text.substr(0, LITERAL_SHOWN)) + (text.size() > LITERAL_SHOWN ? "..." : "");
}

// A line of output, or a row of a screen, that differs: its number (and the
// column its excerpts start at), both lines, and a caret under the actual
// line where they part.
void addDifferingLine(std::string& text, const DifferingLine& line) {
    text += std::string(line.row ? "    row " : "    line ") + std::to_string(line.number) +
            (line.from > 0 ? ", from column " + std::to_string(line.from + 1) : "") + ":\n";
    const std::string ended =
        line.row ? "(nothing: the screen ends)" : "(nothing: the output ends)";
    text += "      expected: " + (line.expectedMissing ? ended : literal(line.expected)) +
            (line.pattern ? "  (a pattern, see the case's .match file)" : "") + "\n";
    const std::string actualLabel = "      actual:   ";
    const std::string over =
        line.row ? "(nothing: the screen ended)" : "(nothing: the output ended)";
    text += actualLabel + (line.actualMissing ? over : literal(line.actual)) + "\n";
    if (line.actualMissing || line.parting == std::string::npos || line.parting < line.from) {
        return;
    }
    const std::size_t offset = line.parting - line.from;
    if (offset <= std::min(line.actual.size(), LITERAL_SHOWN)) {
        const std::size_t column = quoted(line.actual.substr(0, offset)).size() - 1;
        text += std::string(actualLabel.size() + column, ' ') + "^\n";
    }
}

}  // namespace

std::string problemText(const Problem& problem) {
    std::string text = "  " + checkerLine(problem.what) + "\n";
    for (std::size_t i = 0; i < std::min(problem.lines.size(), LINES_SHOWN); ++i) {
        addDifferingLine(text, problem.lines[i]);
    }
    if (problem.lines.size() > LINES_SHOWN) {
        const std::size_t more = problem.lines.size() - LINES_SHOWN;
        text += "    and " + std::to_string(more) + (more == 1 ? " more line\n" : " more lines\n");
    }
    for (std::size_t i = 0; i < std::min(problem.details.size(), DETAILS_SHOWN); ++i) {
        text += "    " + checkerLine(problem.details[i]) + "\n";
    }
    if (!problem.errors.empty()) {
        text += "    standard error: " + quoted(problem.errors.substr(0, ERRORS_SHOWN)) +
                (problem.errors.size() > ERRORS_SHOWN ? "..." : "") + "\n";
    }
    if (!problem.hint.empty()) {
        text += "    hint: " + checkerLine(problem.hint) + "\n";
    }
    return text;
}

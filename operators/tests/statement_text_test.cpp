// The demonstrations print the text of a statement or expression beside its
// effect.  The transcripts see only the printed text, so a value that is
// typed in by hand, or a statement that drifts from its text, would pass them.
// These tests read the sources and check that beside every printed statement
// the very same statement runs, and that every truth-table row evaluates the
// expression its label shows.  Blanks do not count: the printed texts are
// spaced as the lesson writes them, the code as the formatter lays it out.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path sourceDir = OPERATORS_SOURCE_DIR;

std::vector<std::string> readLines(const std::string& file) {
    std::ifstream in(sourceDir / file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string withoutBlanks(const std::string& text) {
    std::string result;
    for (char c : text) {
        if (c != ' ' && c != '\t') {
            result += c;
        }
    }
    return result;
}

std::vector<std::string> literalsOf(const std::string& line) {
    static const std::regex literal("\"([^\"]*)\"");
    std::vector<std::string> found;
    for (std::sregex_iterator it(line.begin(), line.end(), literal), end; it != end; ++it) {
        found.push_back((*it)[1]);
    }
    return found;
}

bool isStatementText(const std::string& bare) {
    return !bare.empty() && (bare.back() == ';' || bare.back() == '{');
}

// The declaration lines only echo the starting values; the transcripts check them.
bool isDeclarationText(const std::string& literal) {
    return literal.rfind("int ", 0) == 0 || literal.rfind("double ", 0) == 0;
}

bool endsStatement(const std::string& line) {
    std::string bare = withoutBlanks(line);
    return bare.empty() || bare.back() == ';' || bare.back() == '{' || bare.back() == '}' ||
           bare.rfind("//", 0) == 0;
}

// The statement runs right before or right after the output statement that
// prints it (which the formatter may spread over several lines), written on
// one line or (as "x = 1; y = 2;") on two.
bool runsBeside(const std::vector<std::string>& lines, std::size_t at, const std::string& bare) {
    std::size_t first = at;
    while (first > 0 && !endsStatement(lines[first - 1])) {
        --first;
    }
    std::size_t last = at;
    while (last + 1 < lines.size() && !endsStatement(lines[last])) {
        ++last;
    }
    auto code = [&](std::size_t i) { return i < lines.size() ? withoutBlanks(lines[i]) : ""; };
    std::vector<std::string> candidates = {code(last + 1), code(last + 1) + code(last + 2)};
    if (first >= 1) {
        candidates.push_back(code(first - 1));
    }
    if (first >= 2) {
        candidates.push_back(code(first - 2) + code(first - 1));
    }
    for (const std::string& candidate : candidates) {
        if (candidate == bare) {
            return true;
        }
    }
    return false;
}

// Checks every printed statement of a program and returns how many there were.
int checkPrintedStatements(const std::string& file) {
    std::vector<std::string> lines = readLines(file);
    int checked = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        for (const std::string& literal : literalsOf(lines[i])) {
            std::string bare = withoutBlanks(literal);
            if (!isStatementText(bare) || isDeclarationText(literal)) {
                continue;
            }
            ++checked;
            EXPECT_TRUE(runsBeside(lines, i, bare))
                << file << ":" << i + 1 << " prints \"" << literal << "\" but does not run it";
        }
    }
    return checked;
}

std::size_t closingParenthesis(const std::string& text) {
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        depth += text[i] == '(' ? 1 : text[i] == ')' ? -1 : 0;
        if (depth == 0) {
            return i;
        }
    }
    return std::string::npos;
}

std::string withoutOuterParentheses(std::string text) {
    while (!text.empty() && text.front() == '(' && closingParenthesis(text) == text.size() - 1) {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

// Checks that each row's label, after its colon, is the expression the row
// evaluates; returns the number of rows.
int checkTableRows(const std::string& file) {
    std::string source;
    for (const std::string& line : readLines(file)) {
        source += line + "\n";
    }
    static const std::regex row("printRow\\(\"([^\"]*)\",\\s*([^;]*)\\);");
    int checked = 0;
    for (std::sregex_iterator it(source.begin(), source.end(), row), end; it != end; ++it) {
        std::string label = (*it)[1];
        std::string shown =
            withoutOuterParentheses(withoutBlanks(label.substr(label.find(':') + 1)));
        std::string evaluated = withoutOuterParentheses(withoutBlanks((*it)[2]));
        EXPECT_EQ(shown, evaluated) << file << ": the row \"" << label << "\"";
        ++checked;
    }
    return checked;
}

TEST(StatementText, ArithmeticLinesRunTheStatementTheyShow) {
    EXPECT_EQ(checkPrintedStatements("arithshow.cpp"), 10);
}

TEST(StatementText, AssignmentLinesRunTheStatementTheyShow) {
    EXPECT_EQ(checkPrintedStatements("assignshow.cpp"), 8);
}

TEST(StatementText, ShortCircuitSetupAndConditionsAreTheOnesShown) {
    EXPECT_EQ(checkPrintedStatements("shortcut.cpp"), 6);
}

TEST(StatementText, TableRowsEvaluateTheirLabels) {
    EXPECT_EQ(checkTableRows("logicsheet.cpp"), 10);
    EXPECT_EQ(checkTableRows("compsheet.cpp"), 6);
}

}  // namespace

// Each demonstration prints a statement or expression beside what running it
// did.  These tests run the same statements on the same variables, the text
// taken from the statement itself (#), and compare with what the program's
// transcript says it prints (the transcript test holds the program to it): a
// value typed in by hand, or code that drifts from the text beside it, shows
// as a difference.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cases/ExpectedText.h"

namespace {

// The lines a program prints, from the given line on.
std::vector<std::string> printedBy(const std::string& program, std::size_t from = 0) {
    std::vector<std::string> lines = splitLines(readFile(CASES_DIR "/" + program + "/output.out"));
    lines.erase(lines.begin(), lines.begin() + std::min(from, lines.size()));
    return lines;
}

// One line, every piece in the stream's default format.
template <typename... Pieces>
std::string line(const Pieces&... pieces) {
    std::ostringstream out;
    (out << ... << pieces);
    return out.str();
}

TEST(PrintedValues, ArithmeticLinesShowWhatTheirStatementAssigns) {
    int y = 2, z = 4;
    double h = 5.3, g = 6.7;
    int integer_result = 0;
    double decimal_result = 0;
    std::vector<std::string> shown;
#define ASSIGN(statement) shown.push_back(line(#statement "; = ", (statement)))
    ASSIGN(integer_result = h * y + z);
    ASSIGN(decimal_result = h * y + z);
    ASSIGN(integer_result = h * (y + z));
    ASSIGN(decimal_result = h * (y + z));
    ASSIGN(integer_result = h * y / z + 2 - 8);
    ASSIGN(integer_result = h * y / (z + 2) - 8);
    ASSIGN(integer_result = -h * y / ((z + 2) - 8));
    ASSIGN(integer_result = static_cast<int>(h) % (int)g);
    ASSIGN(integer_result = z % y);
    ASSIGN(integer_result = y % z);
#undef ASSIGN
    EXPECT_EQ(printedBy("arithshow", 2), shown);
}

TEST(PrintedValues, AssignmentLinesShowTheValuesBeforeAndAfter) {
    int x = 1, y = 2, z = 4;
    double h = 5.3, g = 6.7;
    std::vector<std::string> shown;
    std::string before;
    // "x += 2; x = 3"
#define COMPOUND(variable, statement) \
    statement;                        \
    shown.push_back(line(#statement "; " #variable " = ", variable))
    COMPOUND(x, x += 2);
    COMPOUND(x, x -= 4);
    COMPOUND(h, h *= g);
    // "x = -1 x++; x = 0"
#define ALONE(variable, statement)                                                 \
    before = line(#variable " = ", variable, " " #statement "; " #variable " = "); \
    statement;                                                                     \
    shown.push_back(before + line(variable))
    ALONE(x, x++);
    ALONE(y, --y);
    // "x = 0 z = x++; z = 0 x = 1"
#define INTO_Z(variable, statement)                               \
    before = line(#variable " = ", variable, " " #statement ";"); \
    statement;                                                    \
    shown.push_back(before + line(" z = ", z, " " #variable " = ", variable))
    INTO_Z(x, z = x++);
    INTO_Z(y, z = --y);
    INTO_Z(y, z = y--);
#undef COMPOUND
#undef ALONE
#undef INTO_Z
    EXPECT_EQ(printedBy("assignshow", 2), shown);
}

TEST(PrintedValues, ShortCircuitBlocksShowWhichIncrementsRan) {
    int x = 0, y = 0;
    std::vector<std::string> shown;
#define BLOCK(condition)                                          \
    x = 1;                                                        \
    y = 2;                                                        \
    shown.push_back("x = 1; y = 2; ");                            \
    shown.push_back("if(" #condition "){");                       \
    if (condition) {                                              \
        shown.push_back(line("Inside IF: x = ", x, "\ty = ", y)); \
    }                                                             \
    shown.push_back(line("Outside IF: x = ", x, "\ty = ", y))
    BLOCK(x++ == 1 || y++ != 2);
    BLOCK(x++ == 1 && y++ != 2);
    BLOCK(x++ != 1 && y++ != 2);
#undef BLOCK
    EXPECT_EQ(printedBy("shortcut"), shown);
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A row ends in its expression's text and, right-aligned five columns on,
// in the expression's truth value.
void expectRows(const std::string& program, const std::vector<std::pair<std::string, bool>>& rows) {
    std::vector<std::string> printed = printedBy(program);
    for (const auto& [expression, value] : rows) {
        const std::string end = expression + (value ? "    1" : "    0");
        auto rowsEnding = [&end](const std::string& row) { return endsWith(row, end); };
        EXPECT_EQ(std::count_if(printed.begin(), printed.end(), rowsEnding), 1)
            << program << " should have one row ending in \"" << end << "\"";
    }
}

TEST(PrintedValues, TruthTableRowsShowTheValueOfTheirExpression) {
    int x = 1, y = 0, z = 4;
    const std::vector<std::pair<std::string, bool>> relational = {
        {"(4 < 3)", 4 < 3},   {"(x > y)", x > y}, {"(x == y)", x == y},
        {"(x != y)", x != y}, {"z >= 4", z >= 4}, {"z <= x*4", z <= x * 4}};
    expectRows("compsheet", relational);
    expectRows("logicsheet", relational);
    expectRows("logicsheet",
               {{"(4 != 5 && 5 >  6)", 4 != 5 && 5 > 6},
                {"(4 != 5 || 5 >  6)", 4 != 5 || 5 > 6},
                {"(!(4 != 5) || 5 >  6)", !(4 != 5) || 5 > 6},
                {"(((x > y) && (z > 4)) || !(x > 3))", ((x > y) && (z > 4)) || !(x > 3)}});
}

}  // namespace

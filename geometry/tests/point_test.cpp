#include "Point.h"

#include <gtest/gtest.h>

#include <sstream>

#include "readFrom.h"

namespace {

Point read(const std::string& text) {
    return readFrom<Point>(text);
}

std::string print(const Point& point) {
    std::ostringstream out;
    out << point;
    return out.str();
}

TEST(Point, ReadsTwoNumbersAroundAnySingleSeparator) {
    for (const char* text : {"3,4", "3 4", "3;4", "3, 4", "3\n4"}) {
        SCOPED_TRACE(text);
        Point point = read(text);
        EXPECT_EQ(point.getX(), 3);
        EXPECT_EQ(point.getY(), 4);
    }
    Point lettered = read("1.5x2");
    EXPECT_EQ(lettered.getX(), 1.5);
    EXPECT_EQ(lettered.getY(), 2);
}

TEST(Point, BrokenFormsLeaveZeroWhereTheReadFailed) {
    // The blank is taken as the separator, and y then fails on the comma.
    Point blankFirst = read("3 ,4");
    EXPECT_EQ(blankFirst.getX(), 3);
    EXPECT_EQ(blankFirst.getY(), 0);
    Point doubleComma = read("3,,4");
    EXPECT_EQ(doubleComma.getX(), 3);
    EXPECT_EQ(doubleComma.getY(), 0);
    Point printedForm = read("(3,4)");
    EXPECT_EQ(printedForm.getX(), 0);
    EXPECT_EQ(printedForm.getY(), 0);
    Point nothing = read("");
    EXPECT_EQ(nothing.getX(), 0);
    EXPECT_EQ(nothing.getY(), 0);
}

TEST(Point, ASecondReadOnAFailedStreamLeavesTheOldValues) {
    std::istringstream in("x 1,2");
    Point first;
    Point second = read("7,8");
    in >> first >> second;
    EXPECT_EQ(second.getX(), 7);
    EXPECT_EQ(second.getY(), 8);
}

TEST(Point, PrintsInTheDefaultSixDigitForm) {
    EXPECT_EQ(print(read("3,4")), "(3,4)");
    EXPECT_EQ(print(read("2.5,-0.125")), "(2.5,-0.125)");
    EXPECT_EQ(print(read("1000000,0")), "(1e+06,0)");
    EXPECT_EQ(print(read("1234567,3.14159265")), "(1.23457e+06,3.14159)");
}

}  // namespace

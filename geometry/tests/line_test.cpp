#include "Line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "ConsoleCapture.h"
#include "readFrom.h"

namespace {

Line line(const std::string& text) {
    return readFrom<Line>(text);
}

std::string report(const Line& l) {
    ConsoleCapture console;
    l.getSlope();
    l.getLength();
    l.getYint();
    l.ifHorizontal();
    l.ifVertical();
    return console.output();
}

std::string parallel(const std::string& first, const std::string& second) {
    ConsoleCapture console;
    isParallel(line(first).slope(), line(second).slope());
    return console.output();
}

TEST(Line, ReportsSlopeLengthAndIntercept) {
    EXPECT_EQ(report(line("0,0 2,4")),
              "the slope is 2\nThe length of the line is: 4.47214\nThe y intercept is: 0\n");
    EXPECT_EQ(report(line("0,2 5,2")),
              "the slope is 0\nThe length of the line is: 5\nThe y intercept is: 2\n"
              "The line is horizontal\n");
}

TEST(Line, HorizontalBandExcludesItsEnds) {
    EXPECT_EQ(line("0,0 100000,1").slope(), 1e-05);
    EXPECT_EQ(report(line("0,0 100000,1")).find("horizontal"), std::string::npos);
    EXPECT_NE(report(line("0,0 100001,1")).find("The line is horizontal\n"), std::string::npos);
    EXPECT_NE(report(line("0,0 -100001,1")).find("The line is horizontal\n"), std::string::npos);
}

TEST(Line, VerticalBandIsLopsided) {
    EXPECT_NE(report(line("0,0 1,5000000")).find("The line is vertical\n"), std::string::npos);
    EXPECT_EQ(report(line("0,0 1,-5000000")).find("vertical"), std::string::npos);
    EXPECT_NE(report(line("0,0 1,-10000000")).find("The line is vertical\n"), std::string::npos);
}

TEST(Line, ZeroRunGivesInfinityAndCoincidentPointsNaN) {
    EXPECT_EQ(line("3,0 3,5").slope(), INFINITY);
    EXPECT_EQ(line("3,5 3,0").slope(), -INFINITY);
    std::string vertical = report(line("3,0 3,5"));
    EXPECT_NE(vertical.find("The y intercept is: -inf\n"), std::string::npos);
    EXPECT_NE(vertical.find("The line is vertical\n"), std::string::npos);
    Line point = line("1,1 1,1");
    EXPECT_TRUE(std::isnan(point.slope()));
    std::string degenerate = report(point);
    EXPECT_NE(degenerate.find("The length of the line is: 0\n"), std::string::npos);
    EXPECT_EQ(degenerate.find("The line is"), std::string::npos);
}

TEST(Line, LengthIgnoresDirection) {
    EXPECT_NE(report(line("2,1 4,5")).find("is: 4.47214\n"), std::string::npos);
    EXPECT_NE(report(line("4,5 2,1")).find("is: 4.47214\n"), std::string::npos);
}

TEST(Line, ParallelMeansExactlyEqualSlopes) {
    EXPECT_EQ(parallel("0,0 2,4", "1,1 2,3"), "The lines are parallel\n");
    EXPECT_EQ(parallel("3,0 3,5", "7,1 7,9"), "The lines are parallel\n");
    EXPECT_EQ(parallel("3,0 3,5", "7,9 7,1"), "The lines intersect\n");
    EXPECT_EQ(parallel("1,1 1,1", "1,1 1,1"), "The lines intersect\n");
    // 1/3 and 0.1/0.3 differ in the last bit.
    EXPECT_EQ(parallel("0,0 3,1", "0,0 0.3,0.1"), "The lines intersect\n");
}

}  // namespace

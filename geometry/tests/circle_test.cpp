#include "Circle.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "ConsoleCapture.h"
#include "readFrom.h"

namespace {

Circle circle(const std::string& text) {
    return readFrom<Circle>(text);
}

std::string measurements(const Circle& c) {
    ConsoleCapture console;
    c.getRadius();
    c.getDiameter();
    c.getArea();
    c.getCircumference();
    return console.output();
}

// What the first circle prints when tested against the second.
std::string verdict(const std::string& first, const std::string& second) {
    Circle c1 = circle(first);
    Circle c2 = circle(second);
    ConsoleCapture console;
    c1.checkIntersect(c2.getRadius2(), c2.retrunX(), c2.returnY());
    c1.checkInside(c2.getRadius2(), c2.retrunX(), c2.returnY());
    return console.output();
}

const std::string inside = "The circle is inside the other circle\n";
const std::string intersect = "The circles intersect\n";

TEST(Circle, MeasuresFromCentreAndRimPoint) {
    EXPECT_EQ(measurements(circle("0,0 3,4")),
              "The radius is: 5\nThe diameter is: 10\nThe area of the circle is: 78.5\n"
              "The circumference of the circle is: 31.4\n");
    EXPECT_EQ(measurements(circle("0,0 1,1")),
              "The radius is: 1.41421\nThe diameter is: 2.82843\nThe area of the circle is: 6.28\n"
              "The circumference of the circle is: 8.88126\n");
    EXPECT_EQ(measurements(circle("2,2 2,2")),
              "The radius is: 0\nThe diameter is: 0\nThe area of the circle is: 0\n"
              "The circumference of the circle is: 0\n");
}

TEST(Circle, PrintsBothPoints) {
    std::ostringstream out;
    out << circle("0,0 3,4");
    EXPECT_EQ(out.str(), "(0,0) (3,4)");
}

TEST(Circle, CentreIsTruncatedTowardZero) {
    Circle c = circle("2.9,-2.9 5,5");
    EXPECT_EQ(c.retrunX(), 2);
    EXPECT_EQ(c.returnY(), -2);
}

TEST(Circle, CentreBeyondTheIntRangeIsClampedAndNaNIsZero) {
    Circle huge = circle("1e10,-1e10 0,0");
    EXPECT_EQ(huge.retrunX(), INT_MAX);
    EXPECT_EQ(huge.returnY(), INT_MIN);
    Circle edges = circle("2147483647.9,-2147483648.9 0,0");
    EXPECT_EQ(edges.retrunX(), INT_MAX);
    EXPECT_EQ(edges.returnY(), INT_MIN);
    // An overflowing read stores the largest double (and sets failbit),
    // which clamps as well.
    Circle infinite = circle("1e400,5 0,0");
    EXPECT_EQ(infinite.retrunX(), INT_MAX);
}

TEST(Circle, ExactlyOneVerdictForFiniteCircles) {
    EXPECT_EQ(verdict("0,0 3,4", "1,0 1,1"), inside);
    EXPECT_EQ(verdict("0,0 3,4", "10,0 10,2"), intersect);
    // On the boundary: diff = r2 = 2 counts as inside.
    EXPECT_EQ(verdict("0,0 5,0", "3,0 5,0"), inside);
    EXPECT_EQ(verdict("1,1 4,5", "1,1 4,5"), inside);
    // A second circle enclosing the first, and one far away, both intersect.
    EXPECT_EQ(verdict("0,0 1,0", "0,0 10,0"), intersect);
    EXPECT_EQ(verdict("0,0 3,4", "100,100 100,101"), intersect);
}

TEST(Circle, OnlyTheSecondCentreLosesItsFraction) {
    // C2 centre 2.5,0 is tested as 2,0: d = 2, diff = 3, and r2 = 3 fits.
    EXPECT_EQ(verdict("0,0 5,0", "2.5,0 5.5,0"), inside);
    // C1 keeps its fraction: d = 0.5, diff = 4.5 < 4.6.
    EXPECT_EQ(verdict("0.5,0 5.5,0", "0,0 4.6,0"), intersect);
}

}  // namespace

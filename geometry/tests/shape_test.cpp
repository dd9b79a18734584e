#include "shape.h"

#include <gtest/gtest.h>

#include "ConsoleCapture.h"

namespace {

// Enters sides and length, then returns what the shape prints for its name
// and its area.
std::string describe(const std::string& typed) {
    shape s;
    {
        ConsoleCapture entry(typed);
        s.getInfo();
    }
    ConsoleCapture console;
    s.typeofshape();
    s.area();
    return console.output();
}

TEST(Shape, AsksForCountThenLength) {
    ConsoleCapture console("3 4");
    shape s;
    s.getInfo();
    EXPECT_EQ(console.output(), "How many side? Length of each side? ");
}

TEST(Shape, TriangleAreaIsHalfTheSquareOfTheSide) {
    EXPECT_EQ(describe("3 4"), "Shape is a triangle\nArea of triangle is: 8\n");
    EXPECT_EQ(describe("3 3"), "Shape is a triangle\nArea of triangle is: 4.5\n");
    EXPECT_EQ(describe("3 -4"), "Shape is a triangle\nArea of triangle is: 8\n");
}

TEST(Shape, SquareAreaNeverOverflows) {
    EXPECT_EQ(describe("4 5"), "Shape is a square\nArea is of square is: 25\n");
    EXPECT_EQ(describe("4 -5"), "Shape is a square\nArea is of square is: 25\n");
    EXPECT_EQ(describe("4 1000"), "Shape is a square\nArea is of square is: 1e+06\n");
    EXPECT_EQ(describe("4 46340"), "Shape is a square\nArea is of square is: 2.1474e+09\n");
    EXPECT_EQ(describe("4 50000"), "Shape is a square\nArea is of square is: 2.5e+09\n");
    EXPECT_EQ(describe("4 -2147483648"), "Shape is a square\nArea is of square is: 4.61169e+18\n");
}

TEST(Shape, OtherCountsHaveNoNameOrArea) {
    for (const char* typed : {"5 2", "0 2", "-3 2", "x"}) {
        SCOPED_TRACE(typed);
        EXPECT_EQ(describe(typed), "Not a square or tirangle\ncan't caluculate\n");
    }
}

TEST(Shape, ZeroSideGivesZeroArea) {
    EXPECT_EQ(describe("3 0"), "Shape is a triangle\nArea of triangle is: 0\n");
    EXPECT_EQ(describe("4 0"), "Shape is a square\nArea is of square is: 0\n");
    // A length that cannot be read stays 0.
    EXPECT_EQ(describe("4 abc"), "Shape is a square\nArea is of square is: 0\n");
}

}  // namespace

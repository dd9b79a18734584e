#pragma once

#include <cmath>
#include <iostream>

#include "Point.h"

// Slopes inside this open band count as horizontal.
const double HORIZONTAL_UPPER = 1e-05;
const double HORIZONTAL_LOWER = -1e-05;
// Slopes beyond these count as vertical; the band is deliberately lopsided.
const double VERTICAL_NEGATIVE = -9999999.0;
const double VERTICAL_POSITIVE = 999999.0;

// A line through two points.  Divisions are not guarded.  C++ leaves a
// division by zero undefined; GCC and Clang on this machine do it by IEEE
// rules, so a zero run gives an infinite slope and two equal points a NaN,
// which the stream prints here, as glibc's printf does, as inf, -inf and nan
// or -nan (C lets the library choose between inf and infinity, and between
// nan and nan(...), and a NaN's sign depends on the processor and the
// compiler).
class Line {
public:
    void getSlope() const { std::cout << "the slope is " << slope() << std::endl; }
    void getLength() const {
        double ax = std::fabs(start.getX() - end.getX());
        double ay = std::fabs(start.getY() - end.getY());
        double length = std::pow(std::pow(ax, 2) + std::pow(ay, 2), 0.5);
        std::cout << "The length of the line is: " << length << std::endl;
    }
    void getYint() const {
        double b = start.getY() - start.getX() * slope();
        std::cout << "The y intercept is: " << b << std::endl;
    }
    void ifHorizontal() const {
        double m = slope();
        if (m < HORIZONTAL_UPPER && m > HORIZONTAL_LOWER) {
            std::cout << "The line is horizontal" << std::endl;
        }
    }
    void ifVertical() const {
        double m = slope();
        if (m < VERTICAL_NEGATIVE || m > VERTICAL_POSITIVE) {
            std::cout << "The line is vertical" << std::endl;
        }
    }
    double slope() const { return (end.getY() - start.getY()) / (end.getX() - start.getX()); }

private:
    friend std::istream& operator>>(std::istream& in, Line& line);
    friend std::ostream& operator<<(std::ostream& out, const Line& line);

    Point start;
    Point end;
};

std::istream& operator>>(std::istream& in, Line& line);
std::ostream& operator<<(std::ostream& out, const Line& line);

// Exact comparison with ==, no tolerance: a slope and the next double are
// not parallel, while 0 and -0, which differ in their sign bit, are.
void isParallel(double slope1, double slope2);

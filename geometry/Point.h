#pragma once

#include <iosfwd>

// A point in the plane.  It is typed as a number, one separator character of
// any kind and a number, as 3,4, and printed as (3,4); the printed form is
// not read back.
class Point {
public:
    double getX() const { return x; }
    double getY() const { return y; }

private:
    friend std::istream& operator>>(std::istream& in, Point& point);

    // 0 until read.  An entry that is not a number stores 0, one beyond
    // double's range the largest double of its sign, and after either the
    // stream has failed, so the reads that follow store nothing.
    double x = 0;
    double y = 0;
};

std::istream& operator>>(std::istream& in, Point& point);
std::ostream& operator<<(std::ostream& out, const Point& point);

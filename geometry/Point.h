#pragma once

#include <iosfwd>

// A point in the plane.  It is typed as a number, one separator character of
// any kind and a number (3,4) and printed as (3,4).
class Point {
public:
    double getX() const { return x; }
    double getY() const { return y; }

private:
    friend std::istream& operator>>(std::istream& in, Point& point);

    // A coordinate whose read fails or never happens stays 0.
    double x = 0;
    double y = 0;
};

std::istream& operator>>(std::istream& in, Point& point);
std::ostream& operator<<(std::ostream& out, const Point& point);

#pragma once

#include <iosfwd>

// A point in the plane.  It is typed as a number, one character, whatever it
// is, and a number, as 3,4 or 3 4, and printed as (3,4); the printed form is
// not read back.  A character that can go on with the first number (a digit,
// a point, an e) is read as part of it: 3.4 is one number, not 3 and 4, and
// 3e,4 is no point at all, as 3e is not a number.
class Point {
public:
    double getX() const { return x; }
    double getY() const { return y; }

private:
    friend std::istream& operator>>(std::istream& in, Point& point);

    // 0 until read.  An entry that is not a number stores 0, and one beyond
    // double's range the largest double of its sign: so GNU's libstdc++
    // reads it, where the words of C++17 give strtod's value, an infinity.
    // After either the stream has failed, so the reads that follow store
    // nothing.
    double x = 0;
    double y = 0;
};

std::istream& operator>>(std::istream& in, Point& point);
std::ostream& operator<<(std::ostream& out, const Point& point);

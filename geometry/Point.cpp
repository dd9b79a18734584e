#include "Point.h"

#include <istream>
#include <ostream>

std::istream& operator>>(std::istream& in, Point& point) {
    in >> point.x;
    in.ignore(1);  // the separator, whatever character it is
    in >> point.y;
    return in;
}

std::ostream& operator<<(std::ostream& out, const Point& point) {
    return out << "(" << point.getX() << "," << point.getY() << ")";
}

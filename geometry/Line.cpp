#include "Line.h"

#include <istream>
#include <ostream>

std::istream& operator>>(std::istream& in, Line& line) {
    return in >> line.start >> line.end;
}

std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << line.start << " " << line.end;
}

void isParallel(double slope1, double slope2) {
    if (slope1 == slope2) {
        std::cout << "The lines are parallel" << std::endl;
    } else {
        std::cout << "The lines intersect" << std::endl;
    }
}

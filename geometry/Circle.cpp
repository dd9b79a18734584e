#include "Circle.h"

#include <climits>
#include <istream>
#include <ostream>

int Circle::truncateToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(INT_MAX) + 1.0) {
        return INT_MAX;
    }
    if (value <= static_cast<double>(INT_MIN) - 1.0) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

std::istream& operator>>(std::istream& in, Circle& circle) {
    return in >> circle.center >> circle.edge;
}

std::ostream& operator<<(std::ostream& out, const Circle& circle) {
    return out << circle.center << " " << circle.edge;
}

// Reads two circles, measures the first and tells how the second stands to it.
// The measurements and the two tests are in Circle.h, the point's input and
// output in Point.cpp.
#include <iostream>

#include "Circle.h"

int main() {
    Circle C1;
    Circle C2;

    std::cout << "Enter C1: ";
    std::cin >> C1;
    std::cout << "C1: " << C1 << std::endl;
    C1.getRadius();
    C1.getDiameter();
    C1.getArea();
    C1.getCircumference();

    std::cout << "Enter a second circle(C2) to compare: ";
    std::cin >> C2;
    std::cout << "C2: " << C2 << std::endl;

    // The tests see the second circle's centre only as whole numbers.
    double r2 = C2.getRadius2();
    int x2 = C2.retrunX();
    int y2 = C2.returnY();
    C1.checkIntersect(r2, x2, y2);
    C1.checkInside(r2, x2, y2);
    return 0;
}

// Reads a point, prints it, then asks for new coordinates and shows them.
// The point, which prompts and prints for itself, is in Point.h beside this.
#include <iostream>

#include "Point.h"

int main() {
    Point P1;

    std::cout << "Enter P1: ";
    std::cin >> P1;
    std::cout << "P1: " << P1 << std::endl;
    P1.setCoords();
    P1.getX();
    P1.getY();
    return 0;
}

// Prints the cosine of an integer angle, with no end of line after it.
#include <cmath>
#include <iostream>

int main() {
    // The C library measures angles in radians: this is 180 radians, not degrees.
    int angle = 180;
    double cosine = std::cos(static_cast<double>(angle));
    std::cout << cosine;
    return 0;
}

// A learner's cosprint that takes the angle for 180 degrees, not radians.
#include <cmath>
#include <iostream>

int main() {
    const double pi = std::acos(-1.0);
    double result = std::cos(180 * pi / 180);
    std::cout << result;
    return 0;
}

// Reads two lines, measures the first and tells whether the two are parallel.
// The measurements and tests are in Line.h and Line.cpp, the point's input
// and output in Point.cpp.
#include <iostream>

#include "Line.h"

int main() {
    Line L1;
    Line L2;

    std::cout << "Enter L1: ";
    std::cin >> L1;
    std::cout << "L1: " << L1 << std::endl;
    L1.getSlope();
    L1.getLength();
    L1.getYint();
    L1.ifHorizontal();
    L1.ifVertical();

    std::cout << "Enter L2: ";
    std::cin >> L2;
    std::cout << "L2: " << L2 << std::endl;

    isParallel(L1.slope(), L2.slope());
    return 0;
}

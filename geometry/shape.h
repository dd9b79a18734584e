#pragma once

#include <iostream>

// A regular shape known by its side count and side length.  Only triangles
// (3 sides) and squares (4 sides) have a name and an area.
class shape {
public:
    void getInfo() {
        std::cout << "How many side? ";
        std::cin >> sides;
        std::cout << "Length of each side? ";
        std::cin >> length;
    }
    void typeofshape() const {
        switch (sides) {
        case 3:
            std::cout << "Shape is a triangle" << std::endl;
            break;
        case 4:
            std::cout << "Shape is a square" << std::endl;
            break;
        default:
            std::cout << "Not a square or tirangle" << std::endl;
        }
    }
    void area() const {
        switch (sides) {
        case 3:
            // Half the square of the side, for every triangle.
            std::cout << "Area of triangle is: " << static_cast<double>(length) * 0.5 * length
                      << std::endl;
            break;
        case 4: {
            // A 64-bit product: the square of any int side fits.
            long long square = static_cast<long long>(length) * length;
            std::cout << "Area is of square is: " << static_cast<double>(square) << std::endl;
            break;
        }
        default:
            std::cout << "can't caluculate" << std::endl;
        }
    }

private:
    // A count or length whose read fails or never happens stays 0.
    int length = 0;
    int sides = 0;
};

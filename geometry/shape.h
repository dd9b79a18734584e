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
            // This program's rule: half the square of the side.  It is not a
            // triangle's area: an equilateral triangle's is sqrt(3) / 4 (about
            // 0.433) times the square of its side.
            std::cout << "Area of triangle is: " << static_cast<double>(length) * 0.5 * length
                      << std::endl;
            break;
        case 4: {
            // A long long has at least 64 bits, so the square of any 32-bit
            // int side fits.
            long long square = static_cast<long long>(length) * length;
            std::cout << "Area is of square is: " << static_cast<double>(square) << std::endl;
            break;
        }
        default:
            std::cout << "can't caluculate" << std::endl;
        }
    }

private:
    // 0 until read.  An entry that is not a number stores 0, one beyond int's
    // range the nearest limit, and after either the stream has failed, so
    // the reads that follow store nothing.
    int length = 0;
    int sides = 0;
};

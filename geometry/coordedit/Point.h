#pragma once

#include <iostream>

// The point editor's own point: whole-number coordinates that it can prompt
// for itself, and accessors that print rather than return.
class Point {
public:
    void setCoords() {
        std::cout << "Enter a new x coord ";
        std::cin >> x;
        std::cout << "Enter a new y coord";
        std::cin >> y;
    }
    void getX() const { std::cout << "The x coord is " << x << std::endl; }
    void getY() const { std::cout << "The y coord is " << y << std::endl; }

private:
    friend std::istream& operator>>(std::istream& in, Point& point);
    friend std::ostream& operator<<(std::ostream& out, const Point& point);

    // 0 until read.  An entry that is not a number stores 0, one beyond int's
    // range the nearest limit (2147483647 or -2147483648, int being 32 bits
    // here), and after either the stream has failed, so the reads that
    // follow store nothing.
    int x = 0;
    int y = 0;
};

std::istream& operator>>(std::istream& in, Point& point);
std::ostream& operator<<(std::ostream& out, const Point& point);

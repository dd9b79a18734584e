#pragma once

#include <cmath>
#include <iostream>

#include "Point.h"

// Area and circumference use this two-decimal value, not the full value of pi.
const double pi = 3.14;

// A circle given by its centre and one point on its rim.  Nothing is cached:
// every measurement is derived from the two points when it is asked for.
class Circle {
public:
    void getRadius() const { std::cout << "The radius is: " << radius() << std::endl; }
    void getDiameter() const {
        double r = radius();
        std::cout << "The diameter is: " << r + r << std::endl;
    }
    void getArea() const {
        std::cout << "The area of the circle is: " << std::pow(radius(), 2) * pi << std::endl;
    }
    void getCircumference() const {
        double r = radius();
        std::cout << "The circumference of the circle is: " << (r + r) * pi << std::endl;
    }
    double getRadius2() const { return radius(); }
    int retrunX() const { return truncateToInt(center.getX()); }
    int returnY() const { return truncateToInt(center.getY()); }

    void checkIntersect(double otherRadius, int otherX, int otherY) const {
        double diff = radius() - distanceToCenter(otherX, otherY);
        // For numbers the two halves say the same.  A NaN compares false
        // with <, <=, > and >= (only != holds), so the first half alone
        // would hold for a NaN; the second makes the test fail then.
        if (!(diff >= otherRadius) && otherRadius > diff) {
            std::cout << "The circles intersect" << std::endl;
        }
    }
    void checkInside(double otherRadius, int otherX, int otherY) const {
        double diff = radius() - distanceToCenter(otherX, otherY);
        if (diff >= otherRadius) {
            std::cout << "The circle is inside the other circle" << std::endl;
        }
    }

private:
    friend std::istream& operator>>(std::istream& in, Circle& circle);
    friend std::ostream& operator<<(std::ostream& out, const Circle& circle);

    double radius() const {
        double dx = edge.getX() - center.getX();
        double dy = edge.getY() - center.getY();
        return std::pow(std::pow(dx, 2) + std::pow(dy, 2), 0.5);
    }
    double distanceToCenter(int otherX, int otherY) const {
        double ax = std::fabs(center.getX() - static_cast<double>(otherX));
        double ay = std::fabs(center.getY() - static_cast<double>(otherY));
        return std::pow(std::pow(ax, 2) + std::pow(ay, 2), 0.5);
    }
    // Truncates toward zero; a coordinate beyond the int range gives the
    // nearest int limit and a NaN gives 0, where a plain cast is undefined.
    static int truncateToInt(double value);

    Point center;
    Point edge;
};

std::istream& operator>>(std::istream& in, Circle& circle);
std::ostream& operator<<(std::ostream& out, const Circle& circle);

#include "IF1.h"

#include <iostream>

int IF1(int value) {
    return IF1(value, std::cin, std::cout);
}

int IF1(int value, std::istream& in, std::ostream& out) {
    int result = value;
    if (value != 1) {
        return result;
    }
    out << "Do you want the ace to be 11 or 1?(enter 1 or 11) ";
    in >> result;
    while (!in.fail() && result != 1 && result != 11) {
        out << "Value not eliglble, please enter 1 or 11 ";
        in >> result;
    }
    return result;
}

// Runs each pointer routine once on a record set up for it and prints what it
// did beside the value expected.  The record is in Pointers.h, the routines
// in manip.cpp.
#include <cstdlib>
#include <iostream>

#include "Pointers.h"
#include "manip.h"

int main() {
    int x = 0;
    int y = 0;
    int array[4] = {0, 0, 0, 0};

    Pointers one;
    manip1(&one);
    std::cout << "maninp1:" << std::endl;
    std::cout << *one.getA() << "\t== 10 " << std::endl;

    x = 56;
    Pointers two(x, &x);
    manip2(&two);
    std::cout << "maninp2:" << std::endl;
    std::cout << *two.getB() << "\t== 45" << std::endl;

    // The generator is never seeded, so this is the same number on every run
    // with a given C library.
    x = std::rand() % 1000;
    y = 4;
    Pointers three(x, &y);
    manip3(&three);
    std::cout << "maninp3:" << std::endl;
    std::cout << *three.getB() << "\t== " << x << std::endl;

    y = 4;
    Pointers four;
    manip4(&four, &y);
    std::cout << "maninp4:" << std::endl;
    std::cout << static_cast<const void*>(four.getB()) << "\t== " << static_cast<const void*>(&y)
              << std::endl;
    std::cout << (four.getB() == &y) << "\t==  1" << std::endl;

    y = 4;
    Pointers five(0, &y);
    manip5(&five, &y);
    std::cout << "maninp5:" << std::endl;
    std::cout << five.getC() << "\t== " << 45 << std::endl;

    array[0] = 5;
    array[1] = 6;
    array[2] = 7;
    array[3] = 8;
    Pointers six(0, array);
    manip6(&six);
    std::cout << "maninp6:" << std::endl;
    std::cout << array[2] << "\t== " << 10 << std::endl;

    // h starts without a value on purpose: manip7 must write it before it is
    // printed, and memcheck would report the read if it did not.
    int* h = new int;
    Pointers seven(0, h);
    manip7(&seven);
    std::cout << "maninp7:" << std::endl;
    std::cout << *h << "\t== " << 15 << std::endl;
    delete h;  // seven still holds this address; nothing reads through it again

    Pointers eight;
    manip8(&eight);
    std::cout << "maninp8:" << std::endl;
    std::cout << eight.getC() << "\t== " << 199 << std::endl;

    // Only q's value, the address it holds, is used, never the int there.
    int* q = new int;
    Pointers* r = new Pointers;
    manip9(r, q);
    std::cout << "maninp9:" << std::endl;
    std::cout << static_cast<const void*>(r->getB()) << "\t== " << static_cast<const void*>(q)
              << std::endl;
    delete q;
    delete r;

    Pointers* records = new Pointers[10];
    manip10(records);
    std::cout << "maninp10:" << std::endl;
    std::cout << records[5].getC() << "\t== " << 199 << std::endl;
    delete[] records;

    return 0;
}

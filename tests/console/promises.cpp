// A program built as a lesson is that relies on what C++ promises of C
// stdio and std::cout together: their output comes out in the order it was
// written.
#include <cstdio>
#include <iostream>

int main() {
    std::cout << "one, from std::cout" << std::endl;
    std::printf("two, from printf\n");
    std::cout << "three, from std::cout\n";
    std::puts("four, from puts");
    std::fputs("five, from fputs to stdout\n", stdout);
    std::cout << "six, from std::cout" << std::endl;
    return 0;
}

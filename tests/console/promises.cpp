// A program built with the console support, as a lesson is, that relies on
// two things C++ promises: output through C stdio and through std::cout comes
// out in the order it was written, and new throws std::bad_alloc when it
// cannot allocate, for the program to catch.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <new>

namespace {

// Kept, so that the allocation cannot be left out by the compiler.
char* volatile kept = nullptr;

}  // namespace

int main() {
    std::cout << "one, from std::cout" << std::endl;
    std::printf("two, from printf\n");
    std::cout << "three, from std::cout\n";
    std::puts("four, from puts");

    // More than the address space holds.
    volatile std::size_t tooMuch = SIZE_MAX / 4;
    try {
        kept = new char[tooMuch];
        std::cout << "new returned" << std::endl;
    } catch (const std::bad_alloc&) {
        std::cout << "five, std::bad_alloc caught" << std::endl;
    }
    kept = new (std::nothrow) char[tooMuch];
    std::printf("six, new (std::nothrow) gave %s\n", kept == nullptr ? "null" : "memory");
    std::cout << "seven, from std::cout" << std::endl;
    return 0;
}

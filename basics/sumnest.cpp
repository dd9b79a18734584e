// Reads two integers into locals named a and b, which hide the globals of the
// same names inside main, and sums them; sums the globals in add2, where no
// local hides them; then opens a block whose own a and b hide main's until
// the block ends.
#include <iostream>

int a = 2;
int b = 102;

// Widened before adding: a long long (64 bits here) holds the sum of any two
// ints (32 bits here), so the sum cannot overflow.
long long add1(int c, int d) {
    return static_cast<long long>(c) + d;
}

// No local a or b here, so these are the globals.
int add2() {
    std::cout << "Value of global variable a: " << a << std::endl;
    std::cout << "Value of global variable b: " << b << std::endl;
    return a + b;
}

int main() {
    // These hide the globals for the rest of main, where the globals can
    // still be reached as ::a and ::b.  An entry that is not a number stores 0,
    // one beyond int's range the nearest limit, and either fails the stream; a
    // read after that, or at the end of input, stores nothing and leaves its 0.
    int a = 0;
    int b = 0;

    std::cout << "Demo to Sum two integers" << std::endl;
    std::cout << "Enter Interger a: ";
    std::cin >> a;
    std::cout << "Enter Interger b: ";
    std::cin >> b;

    std::cout << "Answer: " << add1(a, b) << std::endl;
    std::cout << "Lets add the two global variables" << std::endl;
    int globalAnswer = add2();
    std::cout << "Global Variable Answer: " << globalAnswer << std::endl;

    {
        // These hide main's a and b, but only up to the closing brace.
        int a = 67;
        int b = 33;
        std::cout << "Block Scope" << std::endl;
        std::cout << "a = " << a << std::endl;
        std::cout << "b = " << b << std::endl;
        std::cout << "Result of a + b" << add1(a, b) << std::endl;
    }

    // main's own a and b again, as the two reads left them.
    std::cout << "Out of block scope" << std::endl;
    std::cout << "a = " << a << std::endl;
    std::cout << "b = " << b << std::endl;
    return 0;
}

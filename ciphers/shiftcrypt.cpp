// Reads a line, then either moves its characters by a shift the user enters
// or asks for a message and a key word to decrypt with.
#include <iostream>
#include <limits>
#include <string>

#include "keyedShift.h"
#include "messageLine.h"

int main() {
    // The line may be tens of megabytes; streams that need not keep in step
    // with C stdio move it in large blocks.  std::cin stays tied to
    // std::cout, so every prompt is out before the program waits for input.
    std::ios::sync_with_stdio(false);

    std::string message;
    std::cout << "What message do you want encyrpted or decyrpted? \n";
    readWholeLine(std::cin, message);

    if (EncyrptOrDecyrpt()) {
        std::cout << "How much would you like to rotate" << std::endl;
        int shift = 0;
        std::cin >> shift;
        shiftMessage(message, shift);
        std::cout << message << std::endl;
    } else {
        std::cout << "What message do you want decoded? " << std::endl;
        // The message is the next line, not what is left of the choice's.
        std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        readWholeLine(std::cin, message);
        // No decoding is defined: the key number is worked out and left unused.
        keyfunc();
    }
    return 0;
}

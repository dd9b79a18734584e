// Reads a line, then either moves its characters by a shift the user enters
// or asks for a message and a key word, works out the word's key number and
// uses neither.  The rule for one character is shiftChar, in shiftRule.cpp.
#include <iostream>
#include <limits>
#include <string>

#include "shiftRule.h"
#include "shiftcryptQuestions.h"

int main() {
    // "\n" ends the line without asking for a flush.  At a terminal C stdio
    // writes the line out as it ends; elsewhere std::cin, tied to std::cout,
    // flushes std::cout before it reads.  Either way the prompt is out first.
    std::cout << "What message do you want encyrpted or decyrpted? \n";
    std::string message;
    std::getline(std::cin, message);

    if (EncyrptOrDecyrpt()) {
        std::cout << "How much would you like to rotate" << std::endl;
        int shift = 0;
        std::cin >> shift;
        for (char& c : message) {
            c = shiftChar(c, shift);
        }
        std::cout << message << std::endl;
    } else {
        std::cout << "What message do you want decoded? " << std::endl;
        // The message is the next line, not what is left of the choice's.
        std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        std::getline(std::cin, message);
        // No decoding is defined: the key number is worked out and left unused.
        keyfunc();
    }
    return 0;
}

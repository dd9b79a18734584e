// Reads a line, then either moves its characters by a shift the user enters
// or asks for a message and a key word, works out the word's key number and
// uses neither.  The rule for one character is shiftChar, in shiftRule.cpp.
#include <iostream>
#include <limits>

#include "BlockInput.h"
#include "MappedLine.h"
#include "shiftBytes.h"
#include "shiftcryptQuestions.h"

int main() {
    // For speed: std::cin reads through a buffer of its own, in blocks of
    // 64 KiB (BlockInput.h says why).  Through C stdio's (the default,
    // synchronised with C stdio), it would take the line a character at a
    // time, at many times the time tr takes to turn it.  std::cin stays
    // tied to std::cout, so every prompt is on screen before a read waits.
    static BlockInput input(0);
    std::cin.rdbuf(&input);
    // The whole line is held: the shift is asked for only after it.
    MappedLine message;
    std::cout << "What message do you want encyrpted or decyrpted? \n";
    message.read(std::cin);

    if (EncyrptOrDecyrpt()) {
        std::cout << "How much would you like to rotate" << std::endl;
        int shift = 0;
        std::cin >> shift;
        shiftBytes(message.data(), message.size(), shift);
        std::cout << message.text() << std::endl;
    } else {
        std::cout << "What message do you want decoded? " << std::endl;
        // The message is the next line, not what is left of the choice's.
        std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        message.read(std::cin);
        // No decoding is defined: the key number is worked out and left unused.
        keyfunc();
    }
    return 0;
}

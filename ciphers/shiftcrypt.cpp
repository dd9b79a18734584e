// Reads a line, then either moves its characters by a shift the user enters
// or asks for a message and a key word, works out the word's key number and
// uses neither.  The rule for one character is shiftChar, in shiftRule.cpp.
#include <iostream>
#include <limits>

#include "MappedLine.h"
#include "shiftBytes.h"
#include "shiftcryptQuestions.h"

int main() {
    // For speed: std::cin and std::cout get buffers of their own instead of
    // C stdio's.  Synchronised with C stdio (the default), std::cin takes
    // the line from C's buffer a character at a time, at many times the
    // time tr takes to turn it.  Nothing here uses C stdio.
    std::ios::sync_with_stdio(false);
    // A buffer of std::cin's own throws std::ios_base::failure when a read
    // fails (a closed descriptor, a directory), and the console support has
    // std::cin throw on what it catches: back to the default, so that a
    // failed read ends the input as its end does.  The line is held in
    // memory of its own, which reports its shortage itself; only the key
    // word's std::string would, at hundreds of megabytes, fail in a read,
    // and end its read with badbit.
    std::cin.exceptions(std::ios::goodbit);
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

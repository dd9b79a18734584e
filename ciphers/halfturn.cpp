// Reads a line and prints it with its lower-case letters turned 13 places
// round the alphabet, so that for lower-case text the same program encodes
// and decodes.  Every other character but white space moves 13 along the
// codes (capitals, digits and punctuation back, bytes of 128 and above
// forward), and those do not come back: Hello becomes ;ryyb, and that .ello.
// The rule for one character is shiftChar, in shiftRule.cpp.
#include <iostream>
#include <string>

#include "shiftRule.h"

// Shifting by 13 turns a to m into n to z and n to z back into a to m: the
// threshold 27 - 13 = 14 puts every letter up to m forward and every letter
// from n back.
const int HALF_TURN = 13;

int main() {
    std::cout << "What message do you want encoded? " << std::endl;
    std::string message;
    std::getline(std::cin, message);
    for (char& c : message) {
        c = shiftChar(c, HALF_TURN);
    }
    std::cout << message << std::endl;
    return 0;
}

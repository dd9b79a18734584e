// Reads a line and prints it with its lower-case letters turned 13 places
// round the alphabet, so that the same program encodes and decodes.
#include <iostream>
#include <string>

#include "halfTurnRule.h"
#include "messageLine.h"

int main() {
    // The line may be tens of megabytes; streams that need not keep in step
    // with C stdio move it in large blocks.
    std::ios::sync_with_stdio(false);

    std::string message;
    std::cout << "What message do you want encoded? " << std::endl;
    readWholeLine(std::cin, message);
    halfTurnMessage(message);
    std::cout << message << std::endl;
    return 0;
}

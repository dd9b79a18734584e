// Prints a greeting through a function of its own.
#include <iostream>

void displayHelloWorld() {
    std::cout << "Hello World!" << std::endl;
}

int main() {
    displayHelloWorld();
    return 0;
}

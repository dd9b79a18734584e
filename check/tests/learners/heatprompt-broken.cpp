// A learner's heatprompt in C++ that does not compile: a name is misspelt.
#include <iostream>

int main() {
    float temperature = 100;
    std::cout << "Enter Machine Temperature: ";
    std::cin >> temprature;
}

// A learner's heatprompt in C++, written from its manual page.
#include <iostream>

int main() {
    float temperature = 100;
    std::cout << "Enter Machine Temperature: ";
    std::cin >> temperature;
    if (temperature <= 0) {
        std::cout << "Machine State: Powered off?\n";
    } else if (temperature >= 212) {
        std::cout << "Machine State: Overheating\n";
    } else {
        std::cout << "Machine State: Operating Normally\n";
    }
}

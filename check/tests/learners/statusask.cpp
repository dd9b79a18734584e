// A learner's statusask in C++, with if and else instead of a switch.
#include <iostream>

int main() {
    int state = 1;
    std::cout << "Input Machine State (1-5):";
    std::cin >> state;
    std::cout << "\nMachine State: ";
    if (state == 1) {
        std::cout << "Job Running\n";
    } else if (state == 2) {
        std::cout << "Waiting for next Job\n";
    } else if (state >= 3 && state <= 5) {
        std::cout << (state == 3 ? "Job Timeout - " : "") << "Malfunctioning\n";
    } else {
        std::cout << "Unknown State\n";
    }
}

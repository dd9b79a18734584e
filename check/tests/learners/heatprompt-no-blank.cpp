// A learner's heatprompt with one blank missing, at the end of its prompt.
#include <iostream>

int main() {
    float temperature = 100;

    std::cout << "Enter Machine Temperature:";
    std::cin >> temperature;
    if (temperature <= 0) {
        std::cout << "Machine State: Powered off?" << std::endl;
    } else if (temperature >= 212) {
        std::cout << "Machine State: Overheating" << std::endl;
    } else {
        std::cout << "Machine State: Operating Normally" << std::endl;
    }
    return 0;
}

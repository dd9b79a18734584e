// A learner's heatprompt made "fast": with the streams no longer synchronised
// with C's and std::cin no longer tied to std::cout, nothing writes the
// prompt out of std::cout's buffer before the program waits for the answer.
// Through a pipe the output is right; at a terminal the prompt is missing.
#include <iostream>

int main() {
    std::ios::sync_with_stdio(false);
    std::cin.tie(nullptr);
    float temperature = 100;

    std::cout << "Enter Machine Temperature: ";
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

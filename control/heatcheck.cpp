// Asks for a machine temperature and classifies it against named limits:
// at or below LO_TEMP the machine is taken to be off, at or above HI_TEMP
// it is overheating.
#include <iostream>

const float LO_TEMP = 0;
const float HI_TEMP = 212;

int main() {
    // Kept when input ends before a temperature is typed.  An entry that is
    // not a number stores 0, and one too large for a float the largest float
    // of its sign: so GNU's libstdc++ reads it, where the words of C++17
    // give strtof's value, an infinity.  Either is classified alike.
    float temperature = 100;

    std::cout << "Enter Machine Temperature: ";
    std::cin >> temperature;

    // The first test that holds wins, so the second is only reached above
    // the low limit.
    if (temperature <= LO_TEMP) {
        std::cout << "Machine State: Powered off?" << std::endl;
    } else if (temperature >= HI_TEMP) {
        std::cout << "Machine State: Overheating" << std::endl;
    } else {
        std::cout << "Machine State: Operating Normally" << std::endl;
    }
    return 0;
}

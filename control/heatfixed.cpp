// Classifies a built-in machine temperature.  The limits themselves count
// as normal here: only below 0 is the machine off, only above 212 is it
// overheating.
#include <iostream>

int main() {
    float temperature = 100;

    if (temperature < 0) {
        std::cout << "Machine State: Powered off?" << std::endl;
    } else if (temperature > 212) {
        std::cout << "Machine State: Overheating" << std::endl;
    } else {
        std::cout << "Machine State: Operating Normally" << std::endl;
    }
    return 0;
}

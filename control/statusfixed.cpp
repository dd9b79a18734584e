// Names a built-in machine state code.  A timeout (3) is reported as a
// timeout and then, by falling through, as the malfunction it is.
#include <iostream>

int main() {
    int state = 1;

    std::cout << "Machine State: ";
    switch (state) {
    case 1:
        std::cout << "Job Running" << std::endl;
        break;
    case 2:
        std::cout << "Waiting for next Job" << std::endl;
        break;
    case 3:
        std::cout << "Job Timeout - ";
        // No break: a timeout goes on to the malfunction message below.  The
        // attribute changes nothing at run time; it tells the compiler the
        // fall is meant, and without it g++ -Wextra warns.
        [[fallthrough]];
    case 4:
    case 5:
        std::cout << "Malfunctioning" << std::endl;
        break;
    default:
        std::cout << "Unknown" << std::endl;
    }
    return 0;
}

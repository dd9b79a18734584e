// Asks for a machine state code and names the state.  A timeout is reported
// as a timeout and then, by falling through, as the malfunction it is.
#include <iostream>

const int JOB_RUNNING = 1;
const int MACHINE_WAITING = 2;
const int JOB_TIMEOUT = 3;
const int MACHINE_HANG = 4;
const int MACHINE_CRASHED = 5;

int main() {
    // Kept when input ends before a code is typed.  An entry that is not a
    // number stores 0, and one beyond int's range the nearest limit.
    int state = 1;

    std::cout << "Input Machine State (1-5):";
    std::cin >> state;
    std::cout << std::endl;

    std::cout << "Machine State: ";
    switch (state) {
    case JOB_RUNNING:
        std::cout << "Job Running" << std::endl;
        break;
    case MACHINE_WAITING:
        std::cout << "Waiting for next Job" << std::endl;
        break;
    case JOB_TIMEOUT:
        std::cout << "Job Timeout - ";
        // No break: a timeout goes on to the malfunction message below.  The
        // attribute changes nothing at run time; it tells the compiler the
        // fall is meant, and without it g++ -Wextra warns.
        [[fallthrough]];
    case MACHINE_HANG:
    case MACHINE_CRASHED:
        std::cout << "Malfunctioning" << std::endl;
        break;
    default:
        std::cout << "Unknown State" << std::endl;
    }
    return 0;
}

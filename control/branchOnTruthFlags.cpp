#include "branchOnTruthFlags.h"

#include <iostream>

void branchOnTruthFlags(bool state1, bool state2) {
    // A lone if: when its test fails nothing at all is printed.
    if (state1) {
        std::cout << "state1 is true" << std::endl;
    }
    if (!state2) {
        std::cout << "state2 is false" << std::endl;
    }

    // With an else, exactly one of the two lines is printed.
    if (state1) {
        std::cout << "state1 is true" << std::endl;
    } else {
        std::cout << "state1 is false" << std::endl;
    }
    if (!state2) {
        std::cout << "state2 is false" << std::endl;
    } else {
        std::cout << "state2 is true" << std::endl;
    }

    // The joined test holds only when both sides do; state2 is tested first,
    // so when it is false the test of state1 is never made.
    if (state2 && state1) {
        std::cout << "Both state1 and state2 are true" << std::endl;
    } else {
        if (state1) {
            std::cout << "State1 is true" << std::endl;
        } else {
            std::cout << "State1 is false" << std::endl;
        }
        if (state2) {
            std::cout << "State2 is true" << std::endl;
        } else {
            std::cout << "State2 is false" << std::endl;
        }
    }

    // Nested tests: the inner test that runs depends on the outer one, so
    // each of the four pairings has a line of its own.
    if (state1) {
        if (state2) {
            std::cout << "Both state1 and state2 are true" << std::endl;
        } else {
            std::cout << "State1 is true and state2 is false" << std::endl;
        }
    } else {
        if (!state2) {
            std::cout << "Both state1 and state2 are false" << std::endl;
        } else {
            std::cout << "State1 is false and state2 is true" << std::endl;
        }
    }
}

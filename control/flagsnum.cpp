// Walks the forms of the if statement with int flags: state1 holds 1 (true)
// and state2 holds 0 (false).  The if statements are in branchOnNumFlags.cpp.
#include "branchOnNumFlags.h"

int main() {
    int state1 = 1;
    int state2 = 0;

    branchOnNumFlags(state1, state2);
    return 0;
}

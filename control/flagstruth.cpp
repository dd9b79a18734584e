// Walks the forms of the if statement with bool flags: state1 is true and
// state2 is false.  The if statements are in branchOnTruthFlags.cpp.
#include "branchOnTruthFlags.h"

int main() {
    bool state1 = true;
    bool state2 = false;

    branchOnTruthFlags(state1, state2);
    return 0;
}

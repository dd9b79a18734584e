#pragma once

// The forms of the if statement on two whole-number flags, where 1 stands
// for true and 0 for false.  Each flag is compared with a number, because
// an int is not a truth value of its own.  Prints a line for each branch taken.
void branchOnNumFlags(int state1, int state2);

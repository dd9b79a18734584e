#pragma once

// The forms of the if statement on two whole-number flags, where 1 stands
// for true and 0 for false.  Each flag is compared with a number to show the
// test written out: an int in a condition is converted to bool (any value
// but 0 is true), so if (state1) would compile too.  The two spellings differ
// for other values: a flag of 2 fails == 1 but passes != 0.  Prints a line
// for each branch taken.
void branchOnNumFlags(int state1, int state2);

#pragma once

// The forms of the if statement on two bool flags.  A bool is a truth value
// already, so each test is the flag itself or its negation.  Prints a line
// for each branch taken.
void branchOnTruthFlags(bool state1, bool state2);

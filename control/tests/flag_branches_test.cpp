#include <gtest/gtest.h>

#include <string>

#include "ConsoleCapture.h"
#include "branchOnNumFlags.h"
#include "branchOnTruthFlags.h"

namespace {

std::string numBranches(int state1, int state2) {
    ConsoleCapture console;
    branchOnNumFlags(state1, state2);
    return console.output();
}

std::string truthBranches(bool state1, bool state2) {
    ConsoleCapture console;
    branchOnTruthFlags(state1, state2);
    return console.output();
}

// What the six steps print for the other pairings of the two flags.
struct Pairing {
    bool state1;
    bool state2;
    const char* printed;
};

// The built-in pairing (state1 true, state2 false) is the programs' transcript.
const Pairing pairings[] = {
    // The lone ifs of the first two steps stay silent.
    {false, true,
     "state1 is false\nstate2 is true\n"
     "State1 is false\nState2 is true\nState1 is false and state2 is true\n"},
    {true, true,
     "state1 is true\nstate1 is true\nstate2 is true\n"
     "Both state1 and state2 are true\nBoth state1 and state2 are true\n"},
    {false, false,
     "state2 is false\nstate1 is false\nstate2 is false\n"
     "State1 is false\nState2 is false\nBoth state1 and state2 are false\n"},
};

TEST(FlagBranches, IntFlagsTakeTheBranchesOfEveryPairing) {
    for (const Pairing& p : pairings) {
        SCOPED_TRACE(testing::Message() << "state1 " << p.state1 << ", state2 " << p.state2);
        EXPECT_EQ(numBranches(p.state1 ? 1 : 0, p.state2 ? 1 : 0), p.printed);
    }
}

TEST(FlagBranches, BoolFlagsTakeTheBranchesOfEveryPairing) {
    for (const Pairing& p : pairings) {
        SCOPED_TRACE(testing::Message() << "state1 " << p.state1 << ", state2 " << p.state2);
        EXPECT_EQ(truthBranches(p.state1, p.state2), p.printed);
    }
}

}  // namespace

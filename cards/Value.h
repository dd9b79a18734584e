#pragma once

#include <cstdlib>

// Draws the rank number of a card, 1 (ace) to 13 (king).  There is no deck:
// every draw is independent of the ones before it.
class Value {
public:
    int getVal() { return std::rand() % 13 + 1; }
};

#pragma once

#include <cstdlib>

// Draws the rank number of a card, 1 (ace) to 13 (king).  There is no deck:
// a card drawn before can come up again at any draw.
class Value {
public:
    int getVal() { return std::rand() % 13 + 1; }
};

#pragma once

#include <cstdlib>

// Draws the suit number of a card, 0 to 3 (spades, clubs, hearts, diamonds).
class Suit {
public:
    int getSuit() { return std::rand() % 4; }
};

#include "GamePlay.h"

#include <cstdlib>
#include <ctime>
#include <iostream>

#include "Card.h"
#include "HandLoop.h"

void GamePlay() {
    // Seeded once per run, from the calendar time, which on Linux counts
    // seconds: every hand continues the same random sequence, and a run
    // started in another second starts it from another seed.
    std::srand(static_cast<unsigned int>(std::time(nullptr)));
    Card card;
    HandLoop hands(std::cin, std::cout, [&card] {
        // The rank is drawn before the suit: one card takes two successive
        // values of the random sequence, rank first.
        CardDraw drawn;
        drawn.rank = card.getVal();
        drawn.suit = card.getSuit();
        return drawn;
    });
    hands.play();
}

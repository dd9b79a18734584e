#include "GamePlay.h"

#include <cstdlib>
#include <iostream>

#include "Card.h"
#include "HandLoop.h"

void GamePlay() {
    // Seeded once per run: every hand continues the same random sequence.
    std::srand(gameSeed());
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

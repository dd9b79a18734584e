#include "GamePlay.h"

#include <cstdlib>
#include <ctime>
#include <iostream>

#include "Card.h"
#include "HandLoop.h"

void GamePlay() {
    // Every read flushes the questions itself when it has to wait for the
    // player (readAnswer), so the input need not flush the output before
    // each answer, nor the streams keep step with C's stdio.
    std::ios::sync_with_stdio(false);
    std::cin.tie(nullptr);
    // Seeded once per run: every hand continues the same random sequence.
    std::srand(static_cast<unsigned int>(std::time(nullptr)));
    Card card;
    HandLoop hands(std::cin, std::cout, [&card] {
        CardDraw drawn;
        drawn.rank = card.getVal();
        drawn.suit = card.getSuit();
        return drawn;
    });
    hands.play();
}

// Twenty-one against a dealer: the dealer shows a card, the player draws
// until satisfied or busted, then, unless the player busted, the dealer
// draws until it reaches the player's total.  The hands are played in
// HandLoop.cpp, the ace's question is IF1.cpp, the cards are Card.h.
#include <ctime>

#include "GamePlay.h"

// Each run starts the random sequence from the current calendar time.
unsigned int gameSeed() {
    return static_cast<unsigned int>(std::time(nullptr));
}

int main() {
    GamePlay();
    return 0;
}

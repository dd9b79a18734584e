// Twenty-one against a dealer: the dealer shows a card, the player draws
// until satisfied or busted, then, unless the player busted, the dealer
// draws until it reaches the player's total.  The game, seeded from the
// clock, is GamePlay() in GamePlay.cpp; the hands are played in
// HandLoop.cpp, the ace's question is IF1.cpp, the cards are Card.h.
#include "GamePlay.h"

int main() {
    GamePlay();
    return 0;
}

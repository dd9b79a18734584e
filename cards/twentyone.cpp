// Twenty-one against a dealer: the dealer shows a card, the player draws
// until satisfied or busted, then the dealer draws until it reaches the
// player's total.  The game itself, seeded from the clock, is GamePlay()
// in GamePlay.cpp; the hands it plays are in HandLoop.cpp.
#include "GamePlay.h"

int main() {
    GamePlay();
    return 0;
}

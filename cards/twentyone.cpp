// Twenty-one against a dealer: the dealer shows a card, the player draws
// until satisfied or busted, then the dealer draws until it reaches the
// player's total.
#include "GamePlay.h"

int main() {
    GamePlay();
    return 0;
}

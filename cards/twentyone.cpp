// Twenty-one against a dealer: the dealer shows a card, the player draws
// until satisfied or busted, then the dealer draws until it reaches the
// player's total.
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

#pragma once

#include <functional>
#include <istream>
#include <ostream>

// A card as it comes off a card source: its rank number, then its suit number.
struct CardDraw {
    int rank = 0;
    int suit = 0;
};

// Plays hands of twenty-one on the given streams until the player declines
// another hand.  The cards come from any source: the game draws them at
// random (GamePlay), a test deals a chosen sequence.
//
// A read that fails (no number, a number beyond int's range, or the end of
// input) ends the game at once, with the current line ended: reads on a
// failed stream return at once without storing anything, so the ace
// question or the hands could repeat forever.
class HandLoop {
public:
    HandLoop(std::istream& input, std::ostream& output, std::function<CardDraw()> cardSource);

    void play();

private:
    // Each of these returns false when a read failed and the game is over.
    bool playHand();
    bool dealPlayer();
    bool offerCards();
    bool askAnotherCard();
    bool askAnotherHand();
    bool ask(const char* question, int& answer);
    bool addPlayerCard();

    void showDealerCard();
    void dealerPlays();
    void showPlayerTotal();
    void showDealerTotal();
    int drawCard();

    std::istream& in;
    std::ostream& out;
    std::function<CardDraw()> nextCard;

    int playerTotal = 0;
    int dealerTotal = 0;
    int anotherCard = 0;
    int anotherHand = 0;
    int busted = 0;
    int rank = 0;
    int suit = 0;
    int counted = 0;
};

#pragma once

#include <iostream>

#include "Suit.h"
#include "Value.h"

// Draws cards and names them.  A card is not remembered: the caller keeps the
// rank and suit numbers it drew and hands them back to have the card printed.
class Card {
public:
    // One random value each.  The game draws the rank before the suit, so a
    // card takes two successive values of the random sequence, rank first.
    int getVal() { return value.getVal(); }
    int getSuit() { return suit.getSuit(); }

    void getCard(int rank, int suitNumber) const { printCard(std::cout, rank, suitNumber); }

    // Every piece starts with a blank, so a card printed after other text
    // stands apart as words of its own.  Any rank without a name shows as its
    // number; a suit number without a name shows nothing.
    static void printCard(std::ostream& out, int rank, int suitNumber) {
        switch (rank) {
        case 1:
            out << " Ace";
            break;
        case 11:
            out << " Jack";
            break;
        case 12:
            out << " Queen";
            break;
        case 13:
            out << " King";
            break;
        default:
            out << " " << rank;
        }
        switch (suitNumber) {
        case 0:
            out << " of Spades";
            break;
        case 1:
            out << " of Clubs";
            break;
        case 2:
            out << " of Hearts";
            break;
        case 3:
            out << " of Diamonds";
            break;
        default:
            break;
        }
    }

private:
    Value value;
    Suit suit;
};

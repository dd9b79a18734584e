#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <utility>

#include "Card.h"
#include "IF1.h"
#include "readAnswer.h"

// A card as it comes off a card source: its rank number, then its suit number.
struct CardDraw {
    int rank = 0;
    int suit = 0;
};

// Plays hands of twenty-one on the given streams until the player declines
// another hand.  The cards come from any source: the game draws them at
// random, a test deals a chosen sequence.
//
// A read that fails (no number, or the end of input) ends the game at once,
// with the current line ended: a failed stream would answer every later
// question at once, and the ace question or the hands could repeat forever.
class HandLoop {
public:
    HandLoop(std::istream& input, std::ostream& output, std::function<CardDraw()> cardSource)
        : in(input), out(output), nextCard(std::move(cardSource)) {}

    void play() {
        do {
            if (!playHand()) {
                out << std::endl;
                return;
            }
        } while (anotherHand == 0);
    }

private:
    // False when a read failed and the game is over.
    bool playHand() {
        showDealerCard();
        if (!dealPlayer() || !offerCards()) {
            return false;
        }
        if (busted == 0) {
            dealerPlays();
        }
        return askAnotherHand();
    }

    void showDealerCard() {
        out << "The dealer has";
        int faceUp = faceUpValue(drawCard());
        out << " face up, for a value of ";
        // A face-up ace already counts 11, so this never asks.
        dealerTotal = IF1(faceUp, in, out);
        out << dealerTotal << std::endl;
    }

    // The first two cards are not tested against 21: only a drawn card busts.
    bool dealPlayer() {
        playerTotal = 0;
        out << "You have";
        if (!addPlayerCard() || !addPlayerCard()) {
            return false;
        }
        showPlayerTotal();
        return true;
    }

    bool offerCards() {
        if (!askAnotherCard()) {
            return false;
        }
        while (anotherCard == 0) {
            if (!addPlayerCard()) {
                return false;
            }
            showPlayerTotal();
            if (playerTotal > 21) {
                anotherCard = 1;
                busted = 1;
                out << "Busted. You Lose." << std::endl;
            } else if (!askAnotherCard()) {
                return false;
            }
        }
        return true;
    }

    // The dealer counts its face-down card and every card it draws at the bare
    // rank number (a queen adds 12), and stops once it reaches the player's
    // total, so a tie goes to the dealer.
    void dealerPlays() {
        out << "Dealers face down card is";
        dealerTotal += drawCard();
        out << std::endl;
        showDealerTotal();
        while (dealerTotal < playerTotal) {
            out << "Dealer draws";
            int drawn = drawCard();
            out << std::endl;
            dealerTotal += drawn;
            showDealerTotal();
        }
        out << (dealerTotal > 21 ? "Dealer busted, You Win" : "Dealer beat you") << std::endl;
    }

    bool askAnotherCard() {
        return ask("Do you wish to take another card?(Enter 0 for another card)", anotherCard);
    }

    bool askAnotherHand() {
        bool answered =
            ask("Do you wish to play another hand?(Enter 0 for another hand) ", anotherHand);
        busted = 0;
        return answered;
    }

    bool ask(const char* question, int& answer) {
        out << question;
        readAnswer(in, out, answer);
        return !in.fail();
    }

    // An ace asks its question right after it is printed.
    bool addPlayerCard() {
        counted = IF1(playerValue(drawCard()), in, out);
        if (in.fail()) {
            return false;
        }
        playerTotal += counted;
        return true;
    }

    void showPlayerTotal() {
        out << " The new total value of hand is " << playerTotal << std::endl;
    }

    void showDealerTotal() {
        out << " The new total value of dealer hand is " << dealerTotal << std::endl;
    }

    // A card is printed the moment it is drawn, before it is counted.
    int drawCard() {
        CardDraw card = nextCard();
        rank = card.rank;
        suit = card.suit;
        Card::printCard(out, rank, suit);
        return rank;
    }

    static int faceUpValue(int rank) { return rank == 1 ? 11 : capAtTen(rank); }
    static int playerValue(int rank) { return capAtTen(rank); }
    static int capAtTen(int rank) { return rank > 10 ? 10 : rank; }

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

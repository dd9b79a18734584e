#include "HandLoop.h"

#include <utility>

#include "Card.h"
#include "IF1.h"

namespace {

// Face cards count 10 in the player's hand and face up.
int capAtTen(int rank) {
    return rank > 10 ? 10 : rank;
}

// The dealer's face-up ace counts 11 without a question.
int faceUpValue(int rank) {
    return rank == 1 ? 11 : capAtTen(rank);
}

}  // namespace

HandLoop::HandLoop(std::istream& input, std::ostream& output, std::function<CardDraw()> cardSource)
    : in(input), out(output), nextCard(std::move(cardSource)) {}

void HandLoop::play() {
    do {
        if (!playHand()) {
            out << std::endl;
            return;
        }
    } while (anotherHand == 0);
}

bool HandLoop::playHand() {
    showDealerCard();
    if (!dealPlayer() || !offerCards()) {
        return false;
    }
    if (busted == 0) {
        dealerPlays();
    }
    return askAnotherHand();
}

void HandLoop::showDealerCard() {
    out << "The dealer has";
    int faceUp = faceUpValue(drawCard());
    out << " face up, for a value of ";
    // A face-up ace already counts 11, so this never asks.
    dealerTotal = IF1(faceUp, in, out);
    out << dealerTotal << std::endl;
}

// The first two cards are not tested against 21: only a drawn card busts.
bool HandLoop::dealPlayer() {
    playerTotal = 0;
    out << "You have";
    if (!addPlayerCard() || !addPlayerCard()) {
        return false;
    }
    showPlayerTotal();
    return true;
}

// Any answer but 0 ends the drawing.
bool HandLoop::offerCards() {
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
// total, so a tie at 21 or below goes to the dealer.  Above 21 the dealer
// has busted, even on a tie with a player who stood on two aces at 22.
void HandLoop::dealerPlays() {
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

bool HandLoop::askAnotherCard() {
    return ask("Do you wish to take another card?(Enter 0 for another card)", anotherCard);
}

bool HandLoop::askAnotherHand() {
    bool answered =
        ask("Do you wish to play another hand?(Enter 0 for another hand) ", anotherHand);
    busted = 0;
    return answered;
}

bool HandLoop::ask(const char* question, int& answer) {
    out << question;
    in >> answer;
    return !in.fail();
}

// An ace asks its question right after it is printed.
bool HandLoop::addPlayerCard() {
    counted = IF1(capAtTen(drawCard()), in, out);
    if (in.fail()) {
        return false;
    }
    playerTotal += counted;
    return true;
}

void HandLoop::showPlayerTotal() {
    out << " The new total value of hand is " << playerTotal << std::endl;
}

void HandLoop::showDealerTotal() {
    out << " The new total value of dealer hand is " << dealerTotal << std::endl;
}

// A card is printed the moment it is drawn, before it is counted.
int HandLoop::drawCard() {
    CardDraw card = nextCard();
    rank = card.rank;
    suit = card.suit;
    Card::printCard(out, rank, suit);
    return rank;
}

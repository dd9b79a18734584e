#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "HandLoop.h"

namespace {

const std::string aceQuestion = "Do you want the ace to be 11 or 1?(enter 1 or 11) ";
const std::string notEligible = "Value not eliglble, please enter 1 or 11 ";
const std::string cardQuestion = "Do you wish to take another card?(Enter 0 for another card)";
const std::string handQuestion = "Do you wish to play another hand?(Enter 0 for another hand) ";

enum SuitNumber { spades, clubs, hearts, diamonds };

// Plays on the typed answers with the cards dealt in the given order (the
// dealer's face-up card first) and returns what was printed.  Every card must
// be drawn, and none beyond them.
std::string play(const std::vector<CardDraw>& cards, const std::string& typed) {
    std::istringstream in(typed);
    std::ostringstream out;
    std::size_t dealt = 0;
    HandLoop hands(in, out, [&] {
        if (dealt < cards.size()) {
            return cards[dealt++];
        }
        ADD_FAILURE() << "a card is drawn beyond the " << cards.size() << " dealt";
        return CardDraw{13, spades};  // ends any dealer's turn
    });
    hands.play();
    EXPECT_EQ(dealt, cards.size()) << "cards left undrawn";
    return out.str();
}

TEST(HandLoop, DrawnCardPastTwentyOneBustsWithoutTheDealersTurn) {
    EXPECT_EQ(play({{13, spades}, {10, clubs}, {8, hearts}, {12, diamonds}}, "0\n2\n"),
              "The dealer has King of Spades face up, for a value of 10\n"
              "You have 10 of Clubs 8 of Hearts The new total value of hand is 18\n" +
                  cardQuestion +
                  " Queen of Diamonds The new total value of hand is 28\n"
                  "Busted. You Lose.\n" +
                  handQuestion);
}

// The dealer then reaches the same 21: a tie, and 21 is no bust for the dealer either.
TEST(HandLoop, ExactlyTwentyOneAfterADrawAsksAgainAndATieGoesToTheDealer) {
    std::vector<CardDraw> cards = {{6, spades},   {10, clubs},  {8, hearts}, {1, hearts},
                                   {2, diamonds}, {12, spades}, {3, clubs}};
    EXPECT_EQ(play(cards, "0\n1\n0\n1\n2\n"),
              "The dealer has 6 of Spades face up, for a value of 6\n"
              "You have 10 of Clubs 8 of Hearts The new total value of hand is 18\n" +
                  cardQuestion + " Ace of Hearts" + aceQuestion +
                  " The new total value of hand is 19\n" + cardQuestion +
                  " 2 of Diamonds The new total value of hand is 21\n" + cardQuestion +
                  "Dealers face down card is Queen of Spades\n"
                  " The new total value of dealer hand is 18\n"
                  "Dealer draws 3 of Clubs\n"
                  " The new total value of dealer hand is 21\n"
                  "Dealer beat you\n" +
                  handQuestion);
}

// Two first cards past 21 stand; the dealer draws until it reaches 22, and
// going past 21 it busts.
TEST(HandLoop, TwoElevensMakeTwentyTwoAndTheDealerDrawsUntilItBusts) {
    std::vector<CardDraw> cards = {{9, diamonds}, {1, spades}, {1, hearts},
                                   {5, spades},   {1, clubs},  {13, hearts}};
    EXPECT_EQ(play(cards, "11\n11\n1\n2\n"),
              "The dealer has 9 of Diamonds face up, for a value of 9\n"
              "You have Ace of Spades" +
                  aceQuestion + " Ace of Hearts" + aceQuestion +
                  " The new total value of hand is 22\n" + cardQuestion +
                  "Dealers face down card is 5 of Spades\n"
                  " The new total value of dealer hand is 14\n"
                  "Dealer draws Ace of Clubs\n"
                  " The new total value of dealer hand is 15\n"
                  "Dealer draws King of Hearts\n"
                  " The new total value of dealer hand is 28\n"
                  "Dealer busted, You Win\n" +
                  handQuestion);
}

// After a bust the next hand starts with fresh totals, and the dealer plays again.
TEST(HandLoop, ZeroDealsAnotherHandAndTwoEndsTheGame) {
    std::vector<CardDraw> cards = {{2, spades}, {10, spades},  {9, clubs},  {4, hearts},
                                   {1, hearts}, {1, diamonds}, {2, hearts}, {13, diamonds}};
    std::string printed = play(cards, "0\n0\n1\n1\n2\n");
    EXPECT_EQ(printed.substr(printed.find("Busted")),
              "Busted. You Lose.\n" + handQuestion +
                  "The dealer has Ace of Hearts face up, for a value of 11\n"
                  "You have Ace of Diamonds" +
                  aceQuestion + " 2 of Hearts The new total value of hand is 3\n" + cardQuestion +
                  "Dealers face down card is King of Diamonds\n"
                  " The new total value of dealer hand is 24\n"
                  "Dealer busted, You Win\n" +
                  handQuestion);
}

// Whatever question a failed read meets, the line is ended, no more cards
// are drawn and nothing more is asked.  The transcripts end the input at the
// first question and type a word at the replay question; here a number too
// big for an int meets the card question, and the input ends at the ace
// question asked again.
TEST(HandLoop, FailedReadEndsTheGameWithTheLineEnded) {
    EXPECT_EQ(play({{5, spades}, {10, clubs}, {7, hearts}}, "99999999999\n"),
              "The dealer has 5 of Spades face up, for a value of 5\n"
              "You have 10 of Clubs 7 of Hearts The new total value of hand is 17\n" +
                  cardQuestion + "\n");
    EXPECT_EQ(play({{5, spades}, {1, clubs}}, "4\n"),
              "The dealer has 5 of Spades face up, for a value of 5\nYou have Ace of Clubs" +
                  aceQuestion + notEligible + "\n");
}

}  // namespace

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

TEST(HandLoop, AceAsksUntilOneOrElevenAndCountsTheChoice) {
    std::string typed = "5\n0\n11\n1\n2\n";
    EXPECT_EQ(play({{9, spades}, {1, hearts}, {7, clubs}, {8, diamonds}, {2, spades}}, typed),
              "The dealer has 9 of Spades face up, for a value of 9\n"
              "You have Ace of Hearts" +
                  aceQuestion + notEligible + notEligible +
                  " 7 of Clubs The new total value of hand is 18\n" + cardQuestion +
                  "Dealers face down card is 8 of Diamonds\n"
                  " The new total value of dealer hand is 17\n"
                  "Dealer draws 2 of Spades\n"
                  " The new total value of dealer hand is 19\n"
                  "Dealer beat you\n" +
                  handQuestion);
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
TEST(HandLoop, ExactlyTwentyOneAfterADrawAsksAgain) {
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

TEST(HandLoop, QueenCountsTenFaceUpAndTwelveFaceDown) {
    EXPECT_EQ(play({{12, clubs}, {9, spades}, {10, spades}, {12, hearts}}, "1\n2\n"),
              "The dealer has Queen of Clubs face up, for a value of 10\n"
              "You have 9 of Spades 10 of Spades The new total value of hand is 19\n" +
                  cardQuestion +
                  "Dealers face down card is Queen of Hearts\n"
                  " The new total value of dealer hand is 22\n"
                  "Dealer busted, You Win\n" +
                  handQuestion);
}

TEST(HandLoop, PlayersFaceCardsCountTenAndTheDealerStopsAtATie) {
    std::vector<CardDraw> cards = {{5, spades}, {11, clubs}, {7, clubs}, {4, hearts}, {8, hearts}};
    EXPECT_EQ(play(cards, "1\n2\n"),
              "The dealer has 5 of Spades face up, for a value of 5\n"
              "You have Jack of Clubs 7 of Clubs The new total value of hand is 17\n" +
                  cardQuestion +
                  "Dealers face down card is 4 of Hearts\n"
                  " The new total value of dealer hand is 9\n"
                  "Dealer draws 8 of Hearts\n"
                  " The new total value of dealer hand is 17\n"
                  "Dealer beat you\n" +
                  handQuestion);
}

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

TEST(HandLoop, FaceUpAceCountsElevenWithoutAQuestion) {
    EXPECT_EQ(play({{1, spades}, {10, spades}, {10, clubs}, {13, hearts}}, "1\n2\n"),
              "The dealer has Ace of Spades face up, for a value of 11\n"
              "You have 10 of Spades 10 of Clubs The new total value of hand is 20\n" +
                  cardQuestion +
                  "Dealers face down card is King of Hearts\n"
                  " The new total value of dealer hand is 24\n"
                  "Dealer busted, You Win\n" +
                  handQuestion);
}

// After a bust, the next hand starts with fresh totals and the dealer plays again.
TEST(HandLoop, ZeroDealsAnotherHandAndTwoEndsTheGame) {
    std::vector<CardDraw> cards = {{2, spades}, {10, spades},   {9, clubs},
                                   {4, hearts}, {11, hearts},   {1, diamonds},
                                   {2, hearts}, {13, diamonds}, {3, clubs}};
    EXPECT_EQ(play(cards, "0\n0\n1\n0\n1\n2\n"),
              "The dealer has 2 of Spades face up, for a value of 2\n"
              "You have 10 of Spades 9 of Clubs The new total value of hand is 19\n" +
                  cardQuestion +
                  " 4 of Hearts The new total value of hand is 23\n"
                  "Busted. You Lose.\n" +
                  handQuestion +
                  "The dealer has Jack of Hearts face up, for a value of 10\n"
                  "You have Ace of Diamonds" +
                  aceQuestion + " 2 of Hearts The new total value of hand is 3\n" + cardQuestion +
                  " King of Diamonds The new total value of hand is 13\n" + cardQuestion +
                  "Dealers face down card is 3 of Clubs\n"
                  " The new total value of dealer hand is 13\n"
                  "Dealer beat you\n" +
                  handQuestion);
}

// Whatever question a failed read meets, the line is ended, no more cards
// are drawn and nothing more is asked.
TEST(HandLoop, FailedReadEndsTheGameWithTheLineEnded) {
    const std::string dealerLine = "The dealer has 5 of Spades face up, for a value of 5\n";
    const std::string seventeen =
        "You have 10 of Clubs 7 of Hearts The new total value of hand is 17\n";
    const std::vector<CardDraw> seventeenCards = {{5, spades}, {10, clubs}, {7, hearts}};
    const std::vector<CardDraw> aceCards = {{5, spades}, {1, clubs}};
    const std::vector<CardDraw> bustCards = {{5, spades}, {10, clubs}, {7, hearts}, {9, diamonds}};
    const std::string bust =
        " 9 of Diamonds The new total value of hand is 26\nBusted. You Lose.\n";
    struct Case {
        const char* what;
        std::vector<CardDraw> cards;
        std::string typed;
        std::string printed;
    } cases[] = {
        {"end at the card question", seventeenCards, "",
         dealerLine + seventeen + cardQuestion + "\n"},
        {"word at the card question", seventeenCards, "yes\n",
         dealerLine + seventeen + cardQuestion + "\n"},
        {"too big a number", seventeenCards, "99999999999\n",
         dealerLine + seventeen + cardQuestion + "\n"},
        {"end at the ace question", aceCards, "",
         dealerLine + "You have Ace of Clubs" + aceQuestion + "\n"},
        {"end at the ace asked again", aceCards, "4\n",
         dealerLine + "You have Ace of Clubs" + aceQuestion + notEligible + "\n"},
        {"word at the ace asked again", aceCards, "4 eleven\n",
         dealerLine + "You have Ace of Clubs" + aceQuestion + notEligible + "\n"},
        {"end at the replay question", bustCards, "0",
         dealerLine + seventeen + cardQuestion + bust + handQuestion + "\n"},
        {"word at the replay question", bustCards, "0\nagain\n",
         dealerLine + seventeen + cardQuestion + bust + handQuestion + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(play(c.cards, c.typed), c.printed);
    }
}

// The screen shows only what was flushed to it.
class Screen : public std::stringbuf {
public:
    std::string shown;

protected:
    int sync() override {
        shown = str();
        return 0;
    }
};

// Types each line only when the game waits for input, as a player at a
// terminal does, and notes what the screen showed at that moment.
class Typist : public std::streambuf {
public:
    Typist(std::vector<std::string> toType, const Screen& watched)
        : lines(std::move(toType)), screen(watched) {}
    std::vector<std::string> screenAtEachWait;

protected:
    int_type underflow() override {
        screenAtEachWait.push_back(screen.shown);
        if (typed == lines.size()) {
            return traits_type::eof();
        }
        line = lines[typed++];
        setg(line.data(), line.data(), line.data() + line.size());
        return traits_type::to_int_type(line[0]);
    }

private:
    std::vector<std::string> lines;
    const Screen& screen;
    std::size_t typed = 0;
    std::string line;
};

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(HandLoop, EveryQuestionIsOnScreenBeforeTheGameWaits) {
    Screen screen;
    Typist typist({"5\n", "11\n", "1\n", "0\n", "1\n"}, screen);
    std::istream in(&typist);
    std::ostream out(&screen);
    std::vector<CardDraw> cards = {{5, spades}, {1, clubs},  {7, hearts}, {10, hearts}, {4, clubs},
                                   {9, spades}, {10, clubs}, {2, hearts}, {4, diamonds}};
    std::size_t dealt = 0;
    HandLoop hands(in, out, [&] { return cards.at(dealt++); });
    hands.play();
    std::vector<std::string> asked = {aceQuestion,  notEligible,  cardQuestion,
                                      handQuestion, cardQuestion, handQuestion};
    ASSERT_EQ(typist.screenAtEachWait.size(), asked.size());
    for (std::size_t i = 0; i < asked.size(); ++i) {
        EXPECT_TRUE(endsWith(typist.screenAtEachWait[i], asked[i])) << "wait " << i << " shows:\n"
                                                                    << typist.screenAtEachWait[i];
    }
}

}  // namespace

#include "Card.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "ConsoleCapture.h"
#include "IF1.h"

namespace {

std::string printed(int rank, int suit) {
    ConsoleCapture console;
    Card().getCard(rank, suit);
    return console.output();
}

TEST(Card, PrintsRankThenSuitEachWithALeadingBlank) {
    EXPECT_EQ(printed(1, 0), " Ace of Spades");
    EXPECT_EQ(printed(10, 3), " 10 of Diamonds");
    EXPECT_EQ(printed(13, 1), " King of Clubs");
    EXPECT_EQ(printed(11, 2), " Jack of Hearts");
    EXPECT_EQ(printed(12, 2), " Queen of Hearts");
}

TEST(Card, UnnamedRankShowsItsNumberAndUnknownSuitNothing) {
    EXPECT_EQ(printed(0, 0), " 0 of Spades");
    EXPECT_EQ(printed(14, 1), " 14 of Clubs");
    EXPECT_EQ(printed(5, 7), " 5");
    EXPECT_EQ(printed(-3, -1), " -3");
}

TEST(Card, DrawsReachEveryRankAndSuitAndNothingElse) {
    std::srand(1);
    Card card;
    std::set<int> ranks;
    std::set<int> suits;
    for (int draw = 0; draw < 5000; ++draw) {
        ranks.insert(card.getVal());
        suits.insert(card.getSuit());
    }
    EXPECT_EQ(ranks, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(suits, (std::set<int>{0, 1, 2, 3}));
}

TEST(IF1, OtherValuesPassWithoutAQuestionOrARead) {
    ConsoleCapture console("11\n");
    EXPECT_EQ(IF1(10), 10);
    EXPECT_EQ(IF1(0), 0);
    EXPECT_EQ(console.output(), "");
    int left = 0;
    std::cin >> left;
    EXPECT_EQ(left, 11) << "the answer is still there to be read";
}

TEST(IF1, AceAsksUntilOneOrElevenIsTyped) {
    ConsoleCapture console("5\n0\n11\n");
    EXPECT_EQ(IF1(1), 11);
    EXPECT_EQ(console.output(),
              "Do you want the ace to be 11 or 1?(enter 1 or 11) "
              "Value not eliglble, please enter 1 or 11 "
              "Value not eliglble, please enter 1 or 11 ");
}

TEST(IF1, FailedReadEndsTheQuestioning) {
    const std::string ask = "Do you want the ace to be 11 or 1?(enter 1 or 11) ";
    const std::string again = "Value not eliglble, please enter 1 or 11 ";
    struct Case {
        const char* typed;
        std::string asked;
    } cases[] = {{"", ask}, {"ace\n", ask}, {"99999999999\n", ask}, {"7\n", ask + again}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        ConsoleCapture console(c.typed);
        IF1(1);
        EXPECT_TRUE(std::cin.fail());
        EXPECT_EQ(console.output(), c.asked);
    }
}

}  // namespace

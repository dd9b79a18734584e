#include "Card.h"

#include <gtest/gtest.h>

#include "ConsoleCapture.h"
#include "IF1.h"

namespace {

std::string printed(int rank, int suit) {
    ConsoleCapture console;
    Card().getCard(rank, suit);
    return console.output();
}

TEST(Card, UnnamedRankShowsItsNumberAndUnknownSuitNothing) {
    EXPECT_EQ(printed(0, 0), " 0 of Spades");
    EXPECT_EQ(printed(14, 1), " 14 of Clubs");
    EXPECT_EQ(printed(5, 7), " 5");
    EXPECT_EQ(printed(-3, -1), " -3");
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

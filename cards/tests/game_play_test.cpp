// GamePlay as the program runs it, but with its clock stopped: the cards it shows
// must be the C library's random sequence for that seed, each card's rank
// drawn before its suit, and every value it prints must add up from the cards
// printed before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "GamePlay.h"

namespace {

// This test is linked with the clock stopped at LESSONS_STOPPED_CLOCK
// (tests/support/stoppedClock.cpp), 2026-12-08 12:00:00 UTC: the seed that
// GamePlay takes from time().
const unsigned int fixedSeed = 1796731200;

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A player at a terminal: answers only when the game waits, by the question
// on the screen, and the answer shows on the screen as typed answers do.
class Player : public std::streambuf {
public:
    Player(std::stringbuf& watched, int hands) : screen(watched), handsLeft(hands) {}

protected:
    int_type underflow() override {
        const std::string shown = screen.str();
        ++asked;
        if (endsWith(shown, "another hand) ")) {
            line = --handsLeft > 0 ? "0\n" : "2\n";
        } else if (endsWith(shown, "another card)")) {
            line = asked % 3 != 0 ? "0\n" : "1\n";
        } else {
            line = asked % 4 == 0 ? "5\n" : asked % 2 != 0 ? "11\n" : "1\n";
        }
        screen.sputn(line.data(), static_cast<std::streamsize>(line.size()));
        setg(line.data(), line.data(), line.data() + line.size());
        return traits_type::to_int_type(line[0]);
    }

private:
    std::stringbuf& screen;
    int handsLeft;
    int asked = 0;
    std::string line;
};

int rankOf(const std::string& name) {
    const std::map<std::string, int> named = {
        {"Ace", 1}, {"Jack", 11}, {"Queen", 12}, {"King", 13}};
    return named.count(name) != 0 ? named.at(name) : std::stoi(name);
}

int suitOf(const std::string& name) {
    const std::vector<std::string> suits = {"Spades", "Clubs", "Hearts", "Diamonds"};
    return static_cast<int>(std::find(suits.begin(), suits.end(), name) - suits.begin());
}

TEST(GamePlay, DealsTheSeededSequenceRankFirstAndEveryTotalAddsUp) {
    const int hands = 300;
    std::stringbuf screen;
    Player player(screen, hands);
    std::streambuf* keyboard = std::cin.rdbuf(&player);
    std::streambuf* terminal = std::cout.rdbuf(&screen);
    GamePlay();
    std::cin.rdbuf(keyboard);
    std::cout.rdbuf(terminal);
    const std::string shown = screen.str();

    static const std::regex piece(
        "(The dealer has|You have|face down card is)"
        "| (Ace|Jack|Queen|King|[0-9]+) of (Spades|Clubs|Hearts|Diamonds)"
        "|1 or 11\\)? ([0-9]+)\n"
        "|(dealer hand is|hand is|value of) ([0-9]+)\n"
        "|(Busted|Dealer busted|Dealer beat)");
    enum { faceUp, playersCards, dealersCards } whose = faceUp;
    int playerTotal = 0;
    int dealerTotal = 0;
    std::vector<std::pair<int, int>> cards;
    std::map<std::string, int> seen;
    for (std::sregex_iterator it(shown.begin(), shown.end(), piece), end; it != end; ++it) {
        const std::smatch& m = *it;
        const std::size_t upTo = static_cast<std::size_t>(m.position() + m.length());
        const std::string printed = "after: ..." + shown.substr(upTo < 160 ? 0 : upTo - 160, 160);
        if (m[1].matched) {
            whose = m[1] == "The dealer has" ? faceUp
                    : m[1] == "You have"     ? playersCards
                                             : dealersCards;
            playerTotal = whose == playersCards ? 0 : playerTotal;
            ++seen[m[1]];
        } else if (m[2].matched) {
            const int rank = rankOf(m[2]);
            cards.emplace_back(rank, suitOf(m[3]));
            if (whose == faceUp) {
                dealerTotal = rank == 1 ? 11 : std::min(rank, 10);
            } else if (whose == dealersCards) {
                dealerTotal += rank;
            } else if (rank != 1) {  // an ace counts as the player chooses
                playerTotal += std::min(rank, 10);
            }
        } else if (m[4].matched) {
            const int choice = std::stoi(m[4]);
            playerTotal += choice == 1 || choice == 11 ? choice : 0;
            ++seen[choice == 1 || choice == 11 ? "ace counted" : "ace asked again"];
        } else if (m[5].matched) {
            EXPECT_EQ(std::stoi(m[6]), m[5] == "hand is" ? playerTotal : dealerTotal) << printed;
        } else {
            EXPECT_EQ(m[7] == "Busted" ? playerTotal > 21 : dealerTotal > 21, m[7] != "Dealer beat")
                << printed;
            ++seen[m[7]];
        }
    }

    std::srand(fixedSeed);
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const int rank = std::rand() % 13 + 1;
        ASSERT_EQ(cards[i], std::make_pair(rank, std::rand() % 4))
            << "card " << i << " (rank, suit), against srand(" << fixedSeed << "); rand()";
    }
    // The run reached every kind of step.
    EXPECT_EQ(seen["The dealer has"], hands);
    for (const char* step : {"face down card is", "ace counted", "ace asked again", "Busted",
                             "Dealer busted", "Dealer beat"}) {
        EXPECT_GT(seen[step], 0) << step;
    }
}

}  // namespace

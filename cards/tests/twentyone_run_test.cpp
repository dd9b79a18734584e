// Plays the real, time-seeded twentyone program through pipes, answering
// each question as it appears, and reads its transcript as a player would:
// whatever cards come up, every value and total it prints must follow from
// the cards it printed and the answers typed.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <stdexcept>
#include <string>

namespace {

// The program, started with a pipe to its input and one from its output.
class RunningProgram {
public:
    RunningProgram() {
        int toChild[2];
        int fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) {
            throw std::runtime_error("cannot make pipes");
        }
        std::string command =
            "exec " + std::string(TWENTYONE_WRAPPER) + " '" + TWENTYONE_PROGRAM + "'";
        pid = fork();
        if (pid == 0) {
            dup2(toChild[0], 0);
            dup2(fromChild[1], 1);
            for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) {
                close(fd);
            }
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        input = toChild[1];
        output = fromChild[0];
    }
    ~RunningProgram() {
        closeInput();
        close(output);
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // Appends what the program printed next.  False at the end of its output,
    // and also when nothing comes within the wait: a program that waits for an
    // answer the reader did not expect must fail the test, not hang it.
    bool readMore(std::string& text, int waitMilliseconds = 10000) {
        pollfd ready = {output, POLLIN, 0};
        if (poll(&ready, 1, waitMilliseconds) <= 0) {
            return false;
        }
        char buffer[4096];
        ssize_t got = read(output, buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
    void type(const std::string& line) {
        // A program that has already quit is caught by what it printed.
        ssize_t ignored = write(input, line.data(), line.size());
        (void)ignored;
    }
    void closeInput() {
        if (input >= 0) {
            close(input);
            input = -1;
        }
    }
    // -1 unless the program exits by itself, and within the wait.
    int exitStatus() {
        closeInput();
        int status = 0;
        for (int waited = 0; waited < 10000; ++waited) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(1000);
        }
        return -1;
    }

private:
    pid_t pid = -1;
    int input = -1;
    int output = -1;
};

enum class Question { card, ace, aceAgain, hand };

// Answers at random from a fixed seed: draws about half the time, mostly
// eligible ace choices, another hand until enough were played.  Then the game
// is ended at the next question of the chosen kind, by the end of input or a
// word; if that question does not come, by declining another hand.
class Player {
public:
    Player(unsigned seed, int hands, Question endAt, bool endWithWord)
        : rng(seed), handsToPlay(hands), endingQuestion(endAt), word(endWithWord) {}

    // The typed line, or "" for the end of input.
    std::string answer(Question question) {
        if (question == Question::hand) {
            ++handsPlayed;
        }
        if (handsPlayed >= handsToPlay && question == endingQuestion) {
            return word ? "more\n" : "";
        }
        switch (question) {
        case Question::card:
            return pick({"0", "0", "0", "0", "1", "2", "7"});
        case Question::ace:
        case Question::aceAgain:
            return pick({"1", "1", "11", "11", "0", "5"});
        case Question::hand:
            break;
        }
        return handsPlayed < 3 * handsToPlay + 3 ? "0\n" : "2\n";
    }

    bool playedEnough() const { return handsPlayed >= handsToPlay; }

private:
    std::string pick(std::initializer_list<const char*> choices) {
        std::uniform_int_distribution<std::size_t> at(0, choices.size() - 1);
        return std::string(choices.begin()[at(rng)]) + "\n";
    }

    std::mt19937 rng;
    int handsToPlay;
    int handsPlayed = 0;
    Question endingQuestion;
    bool word;
};

// Walks through the transcript piece by piece as the program prints it; any
// piece out of place or any number that does not add up throws, naming where
// the transcript went wrong.
class TranscriptReader {
public:
    TranscriptReader(RunningProgram& running, Player& answers)
        : program(running), player(answers) {}

    void readWholeGame() {
        while (readHand()) {
        }
        if (peek(0) != '\0') {
            fail("the end of the game");
        }
    }

    const std::string& transcript() const { return text; }
    const std::string& typed() const { return typedSoFar; }

private:
    // False when the game ended in this hand.
    bool readHand() {
        expect("The dealer has");
        int faceUp = card();
        expect(" face up, for a value of ");
        int dealer = number();
        expect("\n");
        check(dealer == (faceUp == 1 ? 11 : capAtTen(faceUp)), "face-up value");

        expect("You have");
        int player = 0;
        if (!addPlayerCard(player) || !addPlayerCard(player)) {
            return false;
        }
        expectPlayerTotal(player);

        bool busted = false;
        int answer = 0;
        for (;;) {
            expect("Do you wish to take another card?(Enter 0 for another card)");
            if (!ask(Question::card, answer)) {
                return false;
            }
            if (answer != 0) {
                break;
            }
            if (!addPlayerCard(player)) {
                return false;
            }
            expectPlayerTotal(player);
            if (player > 21) {
                expect("Busted. You Lose.\n");
                busted = true;
                break;
            }
        }
        if (!busted) {
            readDealersTurn(dealer, player);
        }
        expect("Do you wish to play another hand?(Enter 0 for another hand) ");
        return ask(Question::hand, answer) && answer == 0;
    }

    void readDealersTurn(int dealer, int player) {
        expect("Dealers face down card is");
        dealer += card();
        expect("\n");
        expectDealerTotal(dealer);
        while (dealer < player) {
            expect("Dealer draws");
            dealer += card();
            expect("\n");
            expectDealerTotal(dealer);
        }
        expect(dealer > 21 ? "Dealer busted, You Win\n" : "Dealer beat you\n");
    }

    bool addPlayerCard(int& total) {
        int rank = card();
        if (rank != 1) {
            total += capAtTen(rank);
            return true;
        }
        expect("Do you want the ace to be 11 or 1?(enter 1 or 11) ");
        int choice = 0;
        if (!ask(Question::ace, choice)) {
            return false;
        }
        while (choice != 1 && choice != 11) {
            expect("Value not eliglble, please enter 1 or 11 ");
            if (!ask(Question::aceAgain, choice)) {
                return false;
            }
        }
        total += choice;
        return true;
    }

    void expectPlayerTotal(int total) {
        expect(" The new total value of hand is ");
        check(number() == total, "player's total");
        expect("\n");
    }

    void expectDealerTotal(int total) {
        expect(" The new total value of dealer hand is ");
        check(number() == total, "dealer's total");
        expect("\n");
    }

    // A question that gets no number must be followed by an ended line and
    // nothing more.
    bool ask(Question question, int& answer) {
        std::string line = player.answer(question);
        typedSoFar += line.empty() ? "<end of input>" : line;
        if (line.empty()) {
            program.closeInput();
        } else {
            program.type(line);
        }
        if (!line.empty() && line.find_first_not_of("0123456789\n") == std::string::npos) {
            answer = std::stoi(line);
            return true;
        }
        expect("\n");
        if (peek(0) != '\0') {
            fail("the end of the output after a failed read");
        }
        return false;
    }

    // Returns the rank number of the card printed here.
    int card() {
        expect(" ");
        const struct {
            const char* name;
            int rank;
        } named[] = {{"Ace", 1}, {"Jack", 11}, {"Queen", 12}, {"King", 13}};
        int rank = 0;
        for (const auto& card : named) {
            if (rank == 0 && follows(card.name)) {
                rank = card.rank;
            }
        }
        if (rank == 0) {
            rank = number();
            check(rank >= 2 && rank <= 10, "card number");
        }
        for (const char* suit : {" of Spades", " of Clubs", " of Hearts", " of Diamonds"}) {
            if (follows(suit)) {
                return rank;
            }
        }
        fail("a suit");
    }

    int number() {
        std::size_t digits = 0;
        while (digits < 4 && peek(digits) >= '0' && peek(digits) <= '9') {
            ++digits;
        }
        if (digits == 0 || digits == 4) {
            fail("a number of one to three digits");
        }
        int value = std::stoi(text.substr(at, digits));
        at += digits;
        return value;
    }

    void expect(const std::string& piece) {
        if (!follows(piece)) {
            fail("\"" + piece + "\"");
        }
    }

    // Steps over the piece if it comes next.
    bool follows(const std::string& piece) {
        peek(piece.size() - 1);
        if (text.compare(at, piece.size(), piece) != 0) {
            return false;
        }
        at += piece.size();
        return true;
    }

    // The byte so far ahead of the reading place, '\0' past the output's end.
    char peek(std::size_t ahead) {
        while (text.size() <= at + ahead) {
            if (!program.readMore(text)) {
                return '\0';
            }
        }
        return text[at + ahead];
    }

    void check(bool holds, const std::string& what) {
        if (!holds) {
            fail("a " + what + " that follows from the cards");
        }
    }

    [[noreturn]] void fail(const std::string& wanted) {
        program.readMore(text, 100);  // only what is already printed
        throw std::runtime_error("expected " + wanted + " at byte " + std::to_string(at) +
                                 ", found \"" + text.substr(at, 60) + "\"");
    }

    static int capAtTen(int rank) { return rank > 10 ? 10 : rank; }

    RunningProgram& program;
    Player& player;
    std::string text;
    std::size_t at = 0;
    std::string typedSoFar;
};

void playAndCheck(Player player) {
    RunningProgram program;
    TranscriptReader reader(program, player);
    try {
        reader.readWholeGame();
        EXPECT_EQ(program.exitStatus(), 0);
        EXPECT_TRUE(player.playedEnough()) << "the game ended before its hands were played";
    } catch (const std::exception& error) {
        ADD_FAILURE() << error.what() << "\ntyped:\n"
                      << reader.typed() << "\nprinted:\n"
                      << reader.transcript();
    }
}

TEST(TwentyoneRun, EndsInOrderAtTheFirstQuestions) {
    signal(SIGPIPE, SIG_IGN);
    for (Question endAt : {Question::card, Question::ace, Question::hand}) {
        for (bool word : {false, true}) {
            playAndCheck(Player(1, 0, endAt, word));
        }
    }
}

// Each game is many hands deep: games started within the same second deal the
// same cards, so the cards must vary within a game.
TEST(TwentyoneRun, TotalsFollowFromThePrintedCardsOverManyHands) {
    signal(SIGPIPE, SIG_IGN);
    const Question endings[] = {Question::card, Question::ace, Question::aceAgain, Question::hand};
    for (unsigned game = 0; game < 12; ++game) {
        SCOPED_TRACE("game " + std::to_string(game));
        playAndCheck(
            Player(game, 10 + 5 * static_cast<int>(game), endings[game % 4], game % 3 == 0));
    }
}

}  // namespace

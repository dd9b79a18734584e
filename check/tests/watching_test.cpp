// Watching a run costs the checker little while the run does nothing: a
// descriptor at its end must not keep the checker's waits from waiting.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>

#include "sandbox/Run.h"
#include "sandbox/Runner.h"
#include "terminal/Session.h"

namespace {

double processorSecondsOfTheChecker() {
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(used.ru_utime) + seconds(used.ru_stime);
}

// A run of a second takes the checker a second of processor time when it
// spins.  Its looks at a terminal run cost it 0.04 s here, and some times
// that under the sanitizers: a quarter of a second tells the two apart.
constexpr double MOST_PROCESSOR_SECONDS = 0.25;

RunRequest shell(const std::string& script) {
    RunRequest request;
    request.argv = {"/bin/sh", "-c", script};
    return request;
}

TEST(Watching, AStandardErrorClosedEarlyIsNotWaitedOnAgain) {
    LocalRunner runner;
    std::string output, errors;
    const double before = processorSecondsOfTheChecker();
    const RunResult ran = runPiped(runner, shell("echo said >&2; exec 2>&-; sleep 1; echo done"),
                                   "", 10, &output, 4096, &errors, 4096);
    const double used = processorSecondsOfTheChecker() - before;
    EXPECT_TRUE(ran.endedWell()) << ran.describe(10);
    EXPECT_EQ(output, "done\n");
    EXPECT_EQ(errors, "said\n");
    EXPECT_LT(used, MOST_PROCESSOR_SECONDS) << "processor seconds over a run of a second";
}

// At a terminal with echo, standard error goes to the screen: the pipe kept
// for it without echo is at its end from the start.
TEST(Watching, AtATerminalTheUnusedErrorsPipeIsNotWaitedOn) {
    LocalRunner runner;
    Program program{&runner, shell("sleep 1; echo done"), {}};
    const double before = processorSecondsOfTheChecker();
    const TypedRun run = typeLines(program, {}, 0, 10, Typing{});
    const double used = processorSecondsOfTheChecker() - before;
    EXPECT_TRUE(run.end.endedWell()) << run.end.describe(10);
    EXPECT_EQ(run.screen.rows(), (std::vector<std::string>{"done", ""}));
    EXPECT_LT(used, MOST_PROCESSOR_SECONDS) << "processor seconds over a run of a second";
}

// A program that lets go of its terminal before it ends leaves the
// keyboard's side hung up, which poll finds ready at every call.
TEST(Watching, AtATerminalLetGoOfIsNotWaitedOnAndItsOutputStillComes) {
    LocalRunner runner;
    Program program{
        &runner, shell("echo before; exec 0<&- 1>&- 2>&-; sleep 1; echo after >/dev/tty"), {}};
    const double before = processorSecondsOfTheChecker();
    const TypedRun run = typeLines(program, {}, 0, 10, Typing{});
    const double used = processorSecondsOfTheChecker() - before;
    EXPECT_TRUE(run.end.endedWell()) << run.end.describe(10);
    EXPECT_EQ(run.screen.rows(), (std::vector<std::string>{"before", "after", ""}));
    EXPECT_LT(used, MOST_PROCESSOR_SECONDS) << "processor seconds over a run of a second";
}

// A runner whose supervisor is slow, as under load: once the program has
// been told to wait for input, each call it makes on the terminal is let go
// only a fifth of a second after the call.
class SlowToAnswer : public Runner {
public:
    void start(const RunRequest& request, int input, int output, int errors) override {
        inner.start(request, input, output, errors);
    }
    bool running() const override { return inner.running(); }
    std::vector<int> watched() const override { return inner.watched(); }
    std::vector<RunEvent> handle() override {
        const auto now = std::chrono::steady_clock::now();
        if (toldOnce && now - lastAnswered < std::chrono::milliseconds(200)) {
            return {};
        }
        lastAnswered = now;
        std::vector<RunEvent> events = inner.handle();
        for (const RunEvent& event : events) {
            toldOnce = toldOnce || event.kind == RunEvent::MayWait;
        }
        return events;
    }
    void stop() override { inner.stop(); }
    std::vector<std::pair<long, int>> processes() const override { return inner.processes(); }
    bool tellsOfWaits() const override { return true; }

private:
    LocalRunner inner;
    bool toldOnce = false;
    std::chrono::steady_clock::time_point lastAnswered;
};

// dash's read takes a byte a call.  Each call sleeps until the supervisor
// lets it go, looking like a wait for input to all but where it sleeps.
TEST(Watching, ACallHeldForTheSupervisorIsNoWait) {
    SlowToAnswer runner;
    Program program{&runner, shell("read a; echo \"got $a\""), {}};
    const TypedRun run = typeLines(program, {"xy\n"}, 1, 10, Typing{});
    EXPECT_TRUE(run.end.endedWell()) << run.end.describe(10);
    EXPECT_EQ(run.waits, 1u);
    EXPECT_EQ(run.screen.rows(), (std::vector<std::string>{"xy", "got xy", ""}));
}

}  // namespace

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

}  // namespace

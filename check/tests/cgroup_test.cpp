// The kernel's caps on a sandbox's cgroup: tasks past the cap refused,
// memory past it stopped (private, shared, in a tmpfs), each named, and
// nothing left behind.  Skipped where the checker can have no cgroup, as an
// ordinary user on a machine that delegates none.
#include "sandbox/Cgroup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "cases/ExpectedText.h"
#include "sandbox/Process.h"

namespace {

constexpr unsigned TASKS = 20;
constexpr unsigned long long MEMORY = 64ull << 20;
constexpr std::size_t MIB = 1 << 20;
// Four times the memory cap.
constexpr std::size_t PAST_THE_CAP_MIB = 256;

// How a child that joined the cgroup exits when it got all it asked for,
// or could not even begin.
constexpr int GOT_IT_ALL = 0;
constexpr int COULD_NOT_BEGIN = 99;

// Where the checker may write in its own cgroup v1 folders, a cgroup must
// be had: a skip there would hide a fault.
bool oughtToHaveOne() {
    const CgroupPlaces places =
        cgroupPlaces(readFile("/proc/self/mountinfo"), readFile("/proc/self/cgroup"));
    return !places.memory.empty() && !places.pids.empty() &&
           access(places.memory.c_str(), W_OK) == 0 && access(places.pids.c_str(), W_OK) == 0;
}

class CgroupTest : public testing::Test {
protected:
    void SetUp() override {
        std::string whyNot;
        cgroup = SandboxCgroup::make({MEMORY, TASKS, 0}, &whyNot);
        if (!cgroup && oughtToHaveOne()) {
            FAIL() << "no cgroup, where one can be made: " << whyNot;
        } else if (!cgroup) {
            GTEST_SKIP() << "no cgroup can be had here: " << whyNot;
        }
        folders = cgroup->folders();
    }

    // A safety net where a check failed: nothing the children started may
    // outlive the test, and no folder either.
    void TearDown() override {
        cgroup.reset();
        for (const std::string& folder : folders) {
            for (int tries = 0; tries < 1000 && rmdir(folder.c_str()) < 0 && errno == EBUSY;
                 ++tries) {
                for (const long long pid : numbersIn(readFile(folder + "/cgroup.procs"))) {
                    kill(static_cast<pid_t>(pid), SIGKILL);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }

    // The wait status of the body run in a child that joined the cgroup
    // first.  One still going after 20 s fails the test, and is killed.
    int runInside(const std::function<int()>& body) {
        const pid_t child = fork();
        if (child == 0) {
            _exit(cgroup->join(0) ? body() : COULD_NOT_BEGIN);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the child did not end";
                cgroup->killAll();
                waitpid(child, &status, 0);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return status;
    }

    std::unique_ptr<SandboxCgroup> cgroup;
    std::vector<std::string> folders;
};

[[noreturn]] void* sleepForever(void*) {
    for (;;) {
        pause();
    }
}

// How many tasks the child started before the next was refused.
int startTasks(bool asThreads) {
    int started = 0;
    for (; started < static_cast<int>(2 * TASKS); ++started) {
        pthread_t thread;
        pid_t child = -1;
        if (asThreads && pthread_create(&thread, nullptr, sleepForever, nullptr) != 0) {
            break;
        } else if (!asThreads && (child = fork()) == 0) {
            sleepForever(nullptr);
        } else if (!asThreads && child < 0) {
            break;
        }
    }
    return started;
}

// The threads of a single process count as processes do.
TEST_F(CgroupTest, TasksPastTheCapAreRefusedAndNamed) {
    for (const bool asThreads : {true, false}) {
        SCOPED_TRACE(asThreads ? "threads" : "processes");
        EXPECT_EQ(cgroup->overCap(), "");
        const int status = runInside([&] { return startTasks(asThreads); });
        ASSERT_TRUE(WIFEXITED(status));
        // The child itself is the first of them.
        EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(TASKS - 1));
        EXPECT_EQ(cgroup->overCap(), "its cap of 20 processes and threads (--max-tasks)");
        // What the child started is left in it, as a version's would be.
        cgroup->killAll();
        EXPECT_EQ(cgroup->processes(), std::vector<pid_t>{});
    }
}

int takePrivate() {
    for (std::size_t taken = 0; taken < PAST_THE_CAP_MIB; ++taken) {
        void* piece =
            mmap(nullptr, MIB, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (piece == MAP_FAILED) {
            return 1;
        }
        std::memset(piece, 1, MIB);
    }
    return GOT_IT_ALL;
}

int takeShared() {
    const std::size_t size = PAST_THE_CAP_MIB * MIB;
    void* shared = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
        return COULD_NOT_BEGIN;
    }
    std::memset(shared, 1, size);
    return GOT_IT_ALL;
}

// A file in a tmpfs of the child's own, larger than the memory cap, in a
// mount namespace of its own: nobody else sees it, and it is gone with it.
int takeTmpfs() {
    if ((unshare(CLONE_NEWNS) < 0 && unshare(CLONE_NEWUSER | CLONE_NEWNS) < 0) ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) < 0 ||
        mount("sized", "/tmp", "tmpfs", 0, "size=1g") < 0) {
        return COULD_NOT_BEGIN;
    }
    const int file = open("/tmp/file", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    static const std::vector<char> piece(MIB, 1);
    for (std::size_t written = 0; written < PAST_THE_CAP_MIB; ++written) {
        if (write(file, piece.data(), MIB) != static_cast<ssize_t>(MIB)) {
            return 1;
        }
    }
    return GOT_IT_ALL;
}

TEST_F(CgroupTest, MemoryPastTheCapIsStoppedAndNamed) {
    const std::pair<const char*, int (*)()> kinds[] = {
        {"private", takePrivate}, {"shared", takeShared}, {"tmpfs", takeTmpfs}};
    for (const auto& [kind, take] : kinds) {
        SCOPED_TRACE(kind);
        const int status = runInside(take);
        EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == COULD_NOT_BEGIN);
        EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == GOT_IT_ALL);
        EXPECT_EQ(cgroup->overCap(), "its cap of 64 MiB of memory (--max-memory)");
        EXPECT_EQ(cgroup->overCap(), "");
    }
}

// As a version's daemons would be: in sessions of their own, their parent gone.
TEST_F(CgroupTest, RemovedWithEveryProcessLeftInIt) {
    const int status = runInside([] {
        for (int i = 0; i < 5; ++i) {
            if (fork() == 0) {
                setsid();
                sleepForever(nullptr);
            }
        }
        return GOT_IT_ALL;
    });
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(cgroup->processes().size(), 5u);
    cgroup.reset();
    for (const std::string& folder : folders) {
        EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
    }
}

TEST(CgroupPlaces, FoundThroughTheMountsThatShowThem) {
    // Both versions at once, as this project's own machines have them.
    const std::string hybrid =
        "30 25 0:26 / /sys/fs/cgroup ro,nosuid - tmpfs tmpfs ro,mode=755\n"
        "35 30 0:31 / /sys/fs/cgroup/unified rw,relatime shared:10 - cgroup2 cgroup2 rw\n"
        "38 30 0:34 / /sys/fs/cgroup/memory rw,relatime shared:14 - cgroup cgroup rw,memory\n"
        "39 30 0:35 / /sys/fs/cgroup/pids rw,relatime - cgroup cgroup rw,pids\n"
        "40 30 0:36 / /sys/fs/cgroup/cpu,cpuacct rw - cgroup cgroup rw,cpu,cpuacct\n";
    CgroupPlaces places =
        cgroupPlaces(hybrid, "5:pids:/\n4:memory:/process_api/58ce\n2:cpu,cpuacct:/x\n0::/\n");
    EXPECT_EQ(places.unified, "/sys/fs/cgroup/unified");
    EXPECT_EQ(places.memory, "/sys/fs/cgroup/memory/process_api/58ce");
    EXPECT_EQ(places.pids, "/sys/fs/cgroup/pids");

    // cgroup v2 alone, the checker already in the leaf it made: its parent.
    places = cgroupPlaces("24 1 0:22 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw,nsdelegate\n",
                          "0::/user.slice/run-u7.scope/lessons-check\n");
    EXPECT_EQ(places.unified, "/sys/fs/cgroup/user.slice/run-u7.scope");
    EXPECT_EQ(places.memory + places.pids, "");

    // A container's: the mount shows one folder of the hierarchy, at a path
    // with a blank; a cgroup outside that folder is not found.
    const std::string shown = "50 40 0:22 /docker/c1 /run/my\\040cgroups rw - cgroup2 cgroup2 rw\n";
    EXPECT_EQ(cgroupPlaces(shown, "0::/docker/c1/job\n").unified, "/run/my cgroups/job");
    EXPECT_EQ(cgroupPlaces(shown, "0::/docker/c1\n").unified, "/run/my cgroups");
    EXPECT_EQ(cgroupPlaces(shown, "0::/docker/c10\n").unified, "");
}

}  // namespace

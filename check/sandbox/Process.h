// Descriptors, pipes, and the processes /proc shows: what every part of the
// checker uses.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// An open descriptor, closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd(fd) {}
    Fd(Fd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Fd& operator=(Fd other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    ~Fd();
    int get() const { return fd; }

private:
    int fd;
};

// A pipe: its reading end, then its writing end, both closed on exec.
std::pair<Fd, Fd> makePipe();

// A file in memory that holds the bytes, read from its start (closed on exec).
Fd memoryFile(const std::string& bytes);

// What an open file holds, from its start.
std::string readAll(const Fd& file);

// The program could not be started at all (no such file, not executable).
struct CannotStart : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A small file of /proc, or "" when it is gone (the thread has ended) or
// cannot be read: a process is unreadable for a moment as it starts another
// program, or as bubblewrap starts one in its namespaces.
std::string procFile(const std::string& path);

// The numbers a text begins with, up to the first word that is not one.
std::vector<long long> numbersIn(const std::string& text);

// The threads of a process (none once it is gone).
std::vector<long> threadsOf(long pid);

// The program's process and every process below it, with its depth (0 for
// the program's), found through each thread's list of children, so that a
// process in a session of its own is still found; at most about 4096.
std::vector<std::pair<long, int>> processTree(pid_t program);

// Ends every process the program started and left behind, wherever it went
// (a session of its own, a daemon's double fork): the checker is their
// subreaper.  Called whenever a program has ended or been killed, so that
// nothing it started outlives its run.  The checker runs one program at a
// time.
void endLeftovers();

// A child that is no run's leftover, which endLeftovers leaves be: a
// version's sandbox, which lives for all its runs.
void keepChild(pid_t child);
void forgetChild(pid_t child);

using Deadline = std::chrono::time_point<std::chrono::steady_clock, std::chrono::duration<double>>;
Deadline deadlineIn(double seconds);

// Reads what a non-blocking descriptor holds for now into `kept`, keeping
// its first `limit` bytes and dropping the rest.  False once nothing more
// can come: the writers have closed it, or it cannot be read.  A closed pipe
// is always ready for poll, so its reader must stop waiting on it.
bool drainInto(int fd, std::string& kept, std::size_t limit);

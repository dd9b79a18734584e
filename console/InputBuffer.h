#pragma once

#include <streambuf>

#include "OutputBuffer.h"

// Standard input through a buffer of its own.  The buffer is refilled only
// when it is empty, and a refill is the one moment the program may wait, so
// everything printed so far is written out first: a prompt is on screen
// before the program waits for its answer, while answers already waiting in
// the buffer (typed ahead, or piped in by the megabyte) cost no write apiece.
class InputBuffer : public std::streambuf {
public:
    InputBuffer(int fd, OutputBuffer& shownFirst);
    InputBuffer(const InputBuffer&) = delete;
    InputBuffer& operator=(const InputBuffer&) = delete;

protected:
    int_type underflow() override;

private:
    static constexpr std::size_t SIZE = std::size_t{1} << 16;

    int fd;
    // Unused only in the test build that leaves the flush out.
    [[maybe_unused]] OutputBuffer& output;
    char buffer[SIZE];
};

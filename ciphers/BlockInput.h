// Standard input read in blocks of 64 KiB, for a line of many megabytes.
// std::cin's own buffer, once std::ios::sync_with_stdio(false) has cut it
// loose from C stdio, reads at most 8191 bytes at a time in libstdc++ (its
// buffer is BUFSIZ, 8192 bytes), a system call for every 8 KiB of such a
// line.
#pragma once

#include <streambuf>

class BlockInput : public std::streambuf {
public:
    explicit BlockInput(int fd);
    BlockInput(const BlockInput&) = delete;
    BlockInput& operator=(const BlockInput&) = delete;

protected:
    int_type underflow() override;

private:
    static constexpr std::size_t SIZE = std::size_t{1} << 16;

    int fd;
    char buffer[SIZE];
};

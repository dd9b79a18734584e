#pragma once

#include <streambuf>

// Standard output through a buffer of its own, written with write(2) so that
// a failed write is seen.  At a terminal every flush (std::endl) shows at
// once; into a pipe or a file the output goes out in large blocks, and in any
// case before the program waits for input (writePending) and when it ends.
class OutputBuffer : public std::streambuf {
public:
    // Called with errno when a write fails; it must not return.
    using FailureHandler = void (*)(int error);

    OutputBuffer(int fd, FailureHandler onFailure);
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    // Writes out everything buffered so far, wherever the output goes.
    void writePending();

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void writeAll(const char* bytes, std::streamsize count);

    static constexpr std::streamsize SIZE = std::streamsize{1} << 16;

    int fd;
    FailureHandler failed;
    bool toTerminal;
    char buffer[SIZE];
};

#include "OutputBuffer.h"

#include <unistd.h>

#include <cerrno>

OutputBuffer::OutputBuffer(int fd, FailureHandler onFailure)
    : fd(fd), failed(onFailure), toTerminal(isatty(fd) == 1) {
    setp(buffer, buffer + SIZE);
}

void OutputBuffer::writePending() {
    const std::streamsize pending = pptr() - pbase();
    if (pending > 0) {
        writeAll(pbase(), pending);
        setp(buffer, buffer + SIZE);
    }
}

OutputBuffer::int_type OutputBuffer::overflow(int_type c) {
    writePending();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

// A block larger than the buffer goes out directly, not copied piece by piece.
std::streamsize OutputBuffer::xsputn(const char* text, std::streamsize count) {
    if (count <= epptr() - pptr()) {
        traits_type::copy(pptr(), text, static_cast<std::size_t>(count));
        pbump(static_cast<int>(count));
        return count;
    }
    writePending();
    if (count >= SIZE) {
        writeAll(text, count);
        return count;
    }
    traits_type::copy(pptr(), text, static_cast<std::size_t>(count));
    pbump(static_cast<int>(count));
    return count;
}

// Into a pipe or a file, a flush per line would cost a system call per line
// and show nobody anything sooner: the output is written before every wait
// for input anyway.
int OutputBuffer::sync() {
    if (toTerminal) {
        writePending();
    }
    return 0;
}

void OutputBuffer::writeAll(const char* bytes, std::streamsize count) {
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, static_cast<std::size_t>(count));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failed(written < 0 ? errno : EIO);
        }
        bytes += written;
        count -= written;
    }
}

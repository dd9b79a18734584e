#include "InputBuffer.h"

#include <unistd.h>

#include <cerrno>

InputBuffer::InputBuffer(int fd, OutputBuffer& shownFirst) : fd(fd), output(shownFirst) {
    setg(buffer, buffer, buffer);
}

// A read that fails (a closed descriptor, an I/O error) ends the input, as
// the end of a file does.
InputBuffer::int_type InputBuffer::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
#ifndef LESSONS_NO_FLUSH_BEFORE_READ
    output.writePending();
#endif
    ssize_t count = 0;
    do {
        count = ::read(fd, buffer, SIZE);
    } while (count < 0 && errno == EINTR);
    if (count <= 0) {
        return traits_type::eof();
    }
    setg(buffer, buffer, buffer + count);
    return traits_type::to_int_type(*gptr());
}

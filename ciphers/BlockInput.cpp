#include "BlockInput.h"

#include <unistd.h>

#include <cerrno>

BlockInput::BlockInput(int fd) : fd(fd) {
    setg(buffer, buffer, buffer);
}

// A read that fails (a closed descriptor, a directory) ends the input, as
// the end of a file does.
BlockInput::int_type BlockInput::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
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

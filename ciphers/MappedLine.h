#pragma once

#include <cstddef>
#include <iosfwd>
#include <string_view>

// One line of text held in memory of its own: an anonymous mapping, aligned
// to 2 MiB and advised for transparent huge pages, so that where the kernel
// grants them (its settings and free memory decide) a line of many
// megabytes takes one page fault per 2 MiB rather than one per 4 KiB.  The
// mapping grows as the line is read, by moving its page tables (mremap), so
// the bytes already read are never copied, and it costs memory only for the
// pages the line reaches, however large the mapping.
class MappedLine {
public:
    MappedLine() = default;
    ~MappedLine();
    MappedLine(const MappedLine&) = delete;
    MappedLine& operator=(const MappedLine&) = delete;

    // Reads the next line of in in place of the one held, as std::getline
    // does: the newline is taken and not stored, and a stream with no line
    // left gets failbit.  Throws std::bad_alloc when the mapping cannot grow
    // enough to hold the line: a line is never cut short.
    void read(std::istream& in);

    char* data() { return bytes; }
    std::size_t size() const { return length; }
    std::string_view text() const { return {bytes, length}; }

private:
    void makeRoom(std::size_t needed);
    bool growTo(std::size_t newCapacity);

    char* bytes = nullptr;
    std::size_t length = 0;
    std::size_t capacity = 0;
};

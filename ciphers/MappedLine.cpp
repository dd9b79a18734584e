#include "MappedLine.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

#include "LinePieces.h"

namespace {

constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;

// Each piece of the line is read straight into the mapping, into room of at
// least this size.
constexpr std::size_t LEAST_ROOM = std::size_t{1} << 16;

std::size_t roundUpToHugePage(std::size_t size) {
    return (size + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
}

// Maps size bytes (a multiple of HUGE_PAGE) at an address that is a multiple
// of HUGE_PAGE: a little more is mapped and the ends are given back.
// Returns nullptr when no such mapping can be had.
char* mapAligned(std::size_t size) {
    const std::size_t spare = HUGE_PAGE;
    void* const mapped =
        ::mmap(nullptr, size + spare, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    char* const start = static_cast<char*>(mapped);
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(start);
    const std::size_t head = (HUGE_PAGE - address % HUGE_PAGE) % HUGE_PAGE;
    if (head > 0) {
        ::munmap(start, head);
    }
    if (spare > head) {
        ::munmap(start + head + size, spare - head);
    }
    return start + head;
}

}  // namespace

MappedLine::~MappedLine() {
    if (bytes != nullptr) {
        ::munmap(bytes, capacity);
    }
}

void MappedLine::read(std::istream& in) {
    length = 0;
    LinePieces line(in);
    while (!line.done()) {
        if (capacity - length < LEAST_ROOM) {
            makeRoom(length + LEAST_ROOM);
        }
        length += line.read(bytes + length, capacity - length);
    }
}

// Doubles the mapping, or, when that fails (a limit on memory or address
// space), grows it only as far as needed.
void MappedLine::makeRoom(std::size_t needed) {
    const std::size_t least = roundUpToHugePage(needed);
    const std::size_t doubled = capacity * 2 > least ? capacity * 2 : least;
    if (!growTo(doubled) && !growTo(least)) {
        throw std::bad_alloc();
    }
}

bool MappedLine::growTo(std::size_t newCapacity) {
    if (newCapacity < capacity) {
        return false;
    }
    if (bytes == nullptr) {
        bytes = mapAligned(newCapacity);
        if (bytes == nullptr) {
            return false;
        }
        // Only advice: where huge pages are not to be had, small ones serve.
        ::madvise(bytes, newCapacity, MADV_HUGEPAGE);
        capacity = newCapacity;
        return true;
    }
    // In place if the addresses after the mapping are free; otherwise moved
    // onto a new aligned range (the mapping there is replaced), and where
    // the address space has no room for both at once, wherever the kernel
    // finds room.  A move carries the pages over, not their contents.
    void* moved = ::mremap(bytes, capacity, newCapacity, 0);
    if (moved == MAP_FAILED) {
        if (char* const target = mapAligned(newCapacity)) {
            moved = ::mremap(bytes, capacity, newCapacity, MREMAP_MAYMOVE | MREMAP_FIXED, target);
            if (moved == MAP_FAILED) {
                ::munmap(target, newCapacity);
            }
        }
    }
    if (moved == MAP_FAILED) {
        moved = ::mremap(bytes, capacity, newCapacity, MREMAP_MAYMOVE);
    }
    if (moved == MAP_FAILED) {
        return false;
    }
    bytes = static_cast<char*>(moved);
    capacity = newCapacity;
    return true;
}

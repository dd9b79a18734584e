#include "verdict/OwnCopies.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <string_view>

namespace fs = std::filesystem;

namespace {

std::string bytesOf(const fs::path& file, std::size_t most) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes(most, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(most));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// A record of type T at `offset`, when the bytes hold all of it.
template <class T>
std::optional<T> recordAt(std::string_view bytes, unsigned long long offset) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) {
        return std::nullopt;
    }
    T record;
    std::memcpy(&record, bytes.data() + offset, sizeof record);
    return record;
}

// The bytes the first executable segment loads: the program's code.  Its
// segments stay as they are when a file is stripped of its symbols or its
// data is changed.
template <class Header, class Segment>
std::string_view loadedCode(std::string_view bytes) {
    const std::optional<Header> header = recordAt<Header>(bytes, 0);
    if (!header || header->e_phentsize != sizeof(Segment)) {
        return {};
    }
    for (unsigned i = 0; i < header->e_phnum; ++i) {
        const std::optional<Segment> segment =
            recordAt<Segment>(bytes, header->e_phoff + i * sizeof(Segment));
        if (!segment) {
            return {};
        }
        if (segment->p_type == PT_LOAD && (segment->p_flags & PF_X) != 0 &&
            segment->p_offset <= bytes.size() &&
            segment->p_filesz <= bytes.size() - segment->p_offset) {
            return bytes.substr(segment->p_offset, segment->p_filesz);
        }
    }
    return {};
}

std::string_view codeOf(std::string_view bytes) {
    if (bytes.size() <= EI_CLASS || bytes.compare(0, SELFMAG, ELFMAG) != 0) {
        return {};
    }
    return bytes[EI_CLASS] == ELFCLASS64 ? loadedCode<Elf64_Ehdr, Elf64_Phdr>(bytes)
                                         : loadedCode<Elf32_Ehdr, Elf32_Phdr>(bytes);
}

}  // namespace

fs::path copyOfProgram(const std::vector<std::pair<fs::path, fs::path>>& files,
                       const fs::path& program) {
    std::error_code none;
    const auto size = fs::file_size(program, none);
    if (none || size == 0) {
        return {};
    }
    const std::string own = bytesOf(program, size);
    const std::string_view ownCode = codeOf(own);
    for (const auto& [named, copy] : files) {
        const auto copySize = fs::file_size(copy, none);
        if (none || copySize < SELFMAG) {
            continue;
        }
        if (bytesOf(copy, SELFMAG) != ELFMAG) {
            continue;  // no program: a copy begins as the program does
        }
        const std::string bytes = bytesOf(copy, copySize);
        if (bytes.compare(0, own.size(), own) == 0 ||
            (!ownCode.empty() && codeOf(bytes) == ownCode)) {
            return named;
        }
    }
    return {};
}

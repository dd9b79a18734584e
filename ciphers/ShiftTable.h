#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// What a character rule makes of each of the 256 byte values, worked out
// once, so that changing a line of any length costs table look-ups instead
// of the rule's tests for every character.  The look-ups go two characters
// at a time, through a table of all 65536 pairs, which halves their number
// on a long line.
class ShiftTable {
public:
    template <typename Rule>
    explicit ShiftTable(Rule rule) : pairs(PAIR_COUNT) {
        for (int code = 0; code < 256; ++code) {
            single[code] = rule(static_cast<char>(code));
        }
        for (std::size_t pair = 0; pair < PAIR_COUNT; ++pair) {
            const std::uint16_t from = static_cast<std::uint16_t>(pair);
            char both[2];
            std::memcpy(both, &from, 2);
            both[0] = changed(both[0]);
            both[1] = changed(both[1]);
            std::memcpy(&pairs[pair], both, 2);
        }
    }

    void apply(std::string& text) const {
        char* next = &text[0];
        char* const end = next + text.size();
        // Four pairs at a time: the loads and stores of one group do not
        // wait for each other.
        for (; end - next >= 8; next += 8) {
            std::uint16_t group[4];
            std::memcpy(group, next, 8);
            for (std::uint16_t& pair : group) {
                pair = pairs[pair];
            }
            std::memcpy(next, group, 8);
        }
        for (; next != end; ++next) {
            *next = changed(*next);
        }
    }

private:
    static constexpr std::size_t PAIR_COUNT = std::size_t{1} << 16;

    char changed(char c) const { return single[static_cast<unsigned char>(c)]; }

    std::array<char, 256> single{};
    std::vector<std::uint16_t> pairs;
};

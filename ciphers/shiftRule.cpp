#include "shiftRule.h"

#include <cctype>

#include "letterVal.h"

bool isWhiteSpace(char c) {
    // isspace is defined only for the values of unsigned char (and EOF).
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

char shiftChar(char c, int shift) {
    if (isWhiteSpace(c)) {
        return c;
    }
    // In 64 bits neither 27 - shift nor code +/- shift can overflow, whatever
    // int the user typed.
    const long long threshold = 27LL - shift;
    const long long code = static_cast<signed char>(c);
    const long long moved = letterVal(c) < threshold ? code + shift : code - shift;
    return static_cast<char>(static_cast<unsigned char>(moved));
}

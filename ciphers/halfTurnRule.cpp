#include "halfTurnRule.h"

#include "ShiftTable.h"
#include "letterVal.h"
#include "messageLine.h"

namespace {

const int HALF_TURN = 13;

}  // namespace

char halfTurnChar(char c) {
    if (isWhiteSpace(c)) {
        return c;
    }
    const int code = static_cast<signed char>(c);
    const int moved = letterVal(c) <= HALF_TURN ? code + HALF_TURN : code - HALF_TURN;
    return static_cast<char>(static_cast<unsigned char>(moved));
}

void halfTurnMessage(std::string& message) {
    const ShiftTable table(halfTurnChar);
    table.apply(message);
}
